#include "library/run_views.h"

#if defined(_WIN32)
#include "ui/progress/win32/win32_run_ui.h"
#elif defined(TOLVEX_TERMINAL_UI)
#include "ui/progress/terminal/terminal_run_ui.h"
#endif

namespace tolvex {

namespace {

bool quiet_views = false;

}  // namespace

void SetQuietViews(bool quiet) { quiet_views = quiet; }

bool QuietViews() { return quiet_views; }

std::unique_ptr<RunUi> MakeRunViews() {
  if (quiet_views) return std::make_unique<SilentRunUi>();
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

}  // namespace tolvex
