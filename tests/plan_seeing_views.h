// The library's own views of a run, for the tests that drive them under
// Wine, with what a test must see of the run behind them: the plan and the
// parameters the run hands its dialogs (each run owns its own, and nothing
// of it outlives the run).
#pragma once

#include <memory>
#include <string>

#include "engine/run_ui.h"
#include "library/run_views.h"
#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex::runtest {

class PlanSeeingViews final : public RunUi {
 public:
  PlanSeeingViews() : views_(MakeRunViews()) {}

  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override {
    plan_ = &plan;
    return views_->OpenSearchDialog(caption, plan);
  }
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption,
                                                   Plan& plan) override {
    plan_ = &plan;
    return std::make_unique<SeenCopyDialog>(views_->OpenCopyDialog(caption, plan), plan,
                                            &interruptRequestAtCopyEnd);
  }
  OverviewAnswer RunOverview(const OverviewRequest& request) override {
    plan_ = &request.plan;
    parameters_ = &request.parameters;
    return views_->RunOverview(request);
  }
  void BeginFrontEndCall() override { views_->BeginFrontEndCall(); }
  void EndFrontEndCall() override { views_->EndFrontEndCall(); }

  // The plan and parameters of the run that opened the last dialog (the
  // overview: while it is open).
  const Plan& plan() const { return *plan_; }
  const TParameters& parameters() const { return *parameters_; }
  // The run's InterruptRequest as its copy dialog closed.
  bool interruptRequestAtCopyEnd = false;

 private:
  // The copy dialog, noting the run's InterruptRequest as it closes.
  class SeenCopyDialog final : public CopyProgressView {
   public:
    SeenCopyDialog(std::unique_ptr<CopyProgressView> dialog, const Plan& plan, bool* noted)
        : dialog_(std::move(dialog)), plan_(plan), noted_(noted) {}
    ~SeenCopyDialog() override { *noted_ = plan_.InterruptRequest; }
    void ShowCopyRow(const std::string& path, const std::string& size_text,
                     const std::string& stamp_text) override {
      dialog_->ShowCopyRow(path, size_text, stamp_text);
    }
    void ShowToRow(const std::string& path, const std::string& size_text,
                   const std::string& stamp_text) override {
      dialog_->ShowToRow(path, size_text, stamp_text);
    }
    void SetGaugePosition(int position) override { dialog_->SetGaugePosition(position); }
    void ShowCopiedBytes(const CopiedBytes& bytes) override { dialog_->ShowCopiedBytes(bytes); }
    void EnableInterrupt() override { dialog_->EnableInterrupt(); }

   private:
    std::unique_ptr<CopyProgressView> dialog_;
    const Plan& plan_;
    bool* noted_;
  };

  std::unique_ptr<RunUi> views_;
  Plan* plan_ = nullptr;
  TParameters* parameters_ = nullptr;
};

}  // namespace tolvex::runtest
