#include "library/run_views.h"

#include <gtest/gtest.h>

#include "model/parameters.h"
#include "model/plan.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tolvex {
namespace {

#if !defined(_WIN32)
// Runs `views_of` in a process of its own session: no controlling terminal,
// as under cron, also when the tests run from a terminal. True when its
// views answered the overview with Cancel.
bool OverviewCancelledWithoutATerminal(bool quiet) {
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    SetQuietViews(quiet);
    std::unique_ptr<RunUi> views = MakeRunViews();
    Plan plan;
    TParameters parameters;
    _exit(views && !views->RunOverview({plan, parameters, {}, {}}).confirmed ? 0 : 1);
  }
  int status = -1;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
  return WEXITSTATUS(status) == 0;
}

// A process without a controlling terminal (cron, a service) cannot show
// the overview: the run's views answer Cancel, so a plan the user asked to
// confirm never runs unseen. Quiet views (-q, -v) silence the progress only:
// they show the overview where one can be shown (the command's end-to-end
// test on a pseudo-terminal), and answer Cancel where none can.
TEST(RunViews, WithoutATerminalTheOverviewCountsAsCancel) {
  EXPECT_TRUE(OverviewCancelledWithoutATerminal(false));
  EXPECT_TRUE(OverviewCancelledWithoutATerminal(true));
}
#endif

}  // namespace
}  // namespace tolvex
