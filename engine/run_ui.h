// How the update run reaches its dialogs. The run never includes a toolkit
// header: the Win32 dialogs, the terminal views and the tests' scripted
// doubles each implement RunUi.
#pragma once

#include <memory>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/progress.h"

namespace tolvex {

// The copy progress dialog: the "Copying" row, the "to" row, the percentage
// gauge and the Interrupt button, which sets the plan's InterruptRequest.
class CopyProgressView {
 public:
  virtual ~CopyProgressView() = default;
  virtual void ShowCopyRow(const std::string& path, const std::string& size_text,
                           const std::string& stamp_text) = 0;
  virtual void ShowToRow(const std::string& path, const std::string& size_text,
                         const std::string& stamp_text) = 0;
  virtual void SetGaugePosition(int position) = 0;
  // Enables the Interrupt button again after an interruption was handled.
  virtual void EnableInterrupt() = 0;
};

class RunUi {
 public:
  virtual ~RunUi() = default;
  // Creates and shows the search and erase progress dialog (never null);
  // its Cancel sets plan.Aborted.
  virtual std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                               Plan& plan) = 0;
  // Creates and shows the copy progress dialog (never null); its Interrupt
  // sets plan.InterruptRequest.
  virtual std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption,
                                                           Plan& plan) = 0;
  // Runs the overview modally over the ordered plan, which it works on in
  // place with the view settings of the run's `parameters`. True when the
  // user confirmed it (OK); false for Cancel, and when no overview can be
  // shown: a run the user asked to confirm is never run unconfirmed.
  virtual bool RunOverview(Plan& plan, TParameters& parameters) = 0;

  // Around every call of the front end's callbacks, which may write to the
  // terminal and read answers from it: a terminal view clears itself
  // before and draws itself again after. Nothing for dialogs in windows.
  virtual void BeginFrontEndCall() {}
  virtual void EndFrontEndCall() {}
};

// Shows nothing: silent progress, and an overview that cannot be shown.
class SilentRunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption, Plan& plan) override;
  bool RunOverview(Plan&, TParameters&) override { return false; }
};

// The dialogs the run uses now: the ones last installed with SetRunUi (the
// library installs its views, a test its doubles), else the silent ones.
// SetRunUi(nullptr) restores the silent ones.
RunUi& CurrentRunUi();
void SetRunUi(RunUi* ui);
// The one installed with SetRunUi, or null.
RunUi* InstalledRunUi();

// The caption of every dialog of the run except the overview.
std::string DialogCaption(const std::string& job_name);

}  // namespace tolvex
