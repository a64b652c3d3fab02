#include "ui/progress/win32/win32_run_ui.h"

#include "ui/overview/win32/overview_dialog.h"
#include "ui/progress/copy_presenter.h"
#include "ui/progress/search_presenter.h"
#include "ui/progress/win32/copy_dialog.h"
#include "ui/progress/win32/info_dialog.h"

namespace tolvex {

// A dialog that cannot be created (no desktop) leaves a presenter whose
// display is closed: the run goes on without progress.
std::unique_ptr<SearchProgressView> Win32RunUi::OpenSearchDialog(const std::string& caption,
                                                                 Plan& plan) {
  auto dialog = std::make_unique<TInfoDialog>(caption);
  dialog->Create();
  return std::make_unique<SearchProgressPresenter>(std::move(dialog), plan.Aborted);
}

std::unique_ptr<CopyProgressView> Win32RunUi::OpenCopyDialog(const std::string& caption,
                                                             Plan& plan) {
  auto dialog = std::make_unique<TCopyDialog>(caption);
  dialog->Create();
  return std::make_unique<CopyProgressPresenter>(std::move(dialog), plan.InterruptRequest);
}

OverviewAnswer Win32RunUi::RunOverview(const OverviewRequest& request) {
  return overview::RunOverviewDialog(request);
}

}  // namespace tolvex
