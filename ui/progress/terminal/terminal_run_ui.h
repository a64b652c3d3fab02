// The run's progress on the controlling terminal (Linux): the search and
// copy views on one ncurses session for the whole run.
#pragma once

#include <memory>
#include <string>

#include "engine/run_ui.h"
#include "ui/terminal/terminal_session.h"

namespace tolvex {

class TerminalRunUi final : public RunUi {
 public:
  // Null when there is no terminal to draw on (TerminalSession::Open).
  static std::unique_ptr<TerminalRunUi> OpenOnControllingTerminal();

  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption, Plan& plan) override;
  // The terminal overview (ui/overview/terminal) on this session.
  OverviewAnswer RunOverview(const OverviewRequest& request) override;
  void BeginFrontEndCall() override { session_->BeginFrontEndCall(); }
  void EndFrontEndCall() override { session_->EndFrontEndCall(); }

 private:
  explicit TerminalRunUi(std::unique_ptr<TerminalSession> session)
      : session_(std::move(session)) {}

  std::unique_ptr<TerminalSession> session_;
};

}  // namespace tolvex
