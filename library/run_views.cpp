#include "library/run_views.h"

#if defined(_WIN32)
#include "ui/progress/win32/win32_run_ui.h"
#elif defined(TOLVEX_TERMINAL_UI)
#include "ui/progress/terminal/terminal_run_ui.h"
#endif

#include <utility>

namespace tolvex {

namespace {

bool quiet_views = false;

// Quiet views: the progress is silent, but the overview is what a person
// asked for by the job (ConfirmMode 2) and is shown all the same; where it
// cannot be, it counts as Cancel.
class QuietRunUi final : public RunUi {
 public:
  explicit QuietRunUi(std::unique_ptr<RunUi> views) : views_(std::move(views)) {}
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override {
    return silent_.OpenSearchDialog(caption, plan);
  }
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption,
                                                   Plan& plan) override {
    return silent_.OpenCopyDialog(caption, plan);
  }
  OverviewAnswer RunOverview(const OverviewRequest& request) override {
    return views_->RunOverview(request);
  }
  void BeginFrontEndCall() override { views_->BeginFrontEndCall(); }
  void EndFrontEndCall() override { views_->EndFrontEndCall(); }

 private:
  std::unique_ptr<RunUi> views_;
  SilentRunUi silent_;
};

std::unique_ptr<RunUi> ShownRunViews() {
#if defined(_WIN32)
  return std::make_unique<Win32RunUi>();
#elif defined(TOLVEX_TERMINAL_UI)
  // Null when there is no terminal to draw on (cron, pipes, a background job).
  if (std::unique_ptr<RunUi> terminal = TerminalRunUi::OpenOnControllingTerminal()) {
    return terminal;
  }
  return std::make_unique<SilentRunUi>();
#else
  return std::make_unique<SilentRunUi>();
#endif
}

}  // namespace

void SetQuietViews(bool quiet) { quiet_views = quiet; }

std::unique_ptr<RunUi> MakeRunViews() {
  if (quiet_views) return std::make_unique<QuietRunUi>(ShownRunViews());
  return ShownRunViews();
}

}  // namespace tolvex
