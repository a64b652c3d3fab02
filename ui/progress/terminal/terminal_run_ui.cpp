#include "ui/progress/terminal/terminal_run_ui.h"

#include "ui/overview/terminal/terminal_overview.h"
#include "ui/progress/copy_presenter.h"
#include "ui/progress/search_presenter.h"
#include "ui/progress/terminal/terminal_views.h"

namespace tolvex {

std::unique_ptr<TerminalRunUi> TerminalRunUi::OpenOnControllingTerminal() {
  std::unique_ptr<TerminalSession> session = TerminalSession::Open();
  if (!session) return nullptr;
  return std::unique_ptr<TerminalRunUi>(new TerminalRunUi(std::move(session)));
}

std::unique_ptr<SearchProgressView> TerminalRunUi::OpenSearchDialog(const std::string& caption,
                                                                    Plan& plan) {
  return std::make_unique<SearchProgressPresenter>(
      std::make_unique<TerminalSearchView>(*session_, caption), plan.Aborted);
}

std::unique_ptr<CopyProgressView> TerminalRunUi::OpenCopyDialog(const std::string& caption,
                                                                Plan& plan) {
  return std::make_unique<CopyProgressPresenter>(
      std::make_unique<TerminalCopyView>(*session_, caption), plan.InterruptRequest);
}

OverviewAnswer TerminalRunUi::RunOverview(const OverviewRequest& request) {
  return overview::RunTerminalOverview(*session_, request);
}

}  // namespace tolvex
