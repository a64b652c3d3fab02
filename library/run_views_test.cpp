#include "library/run_views.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tolvex {
namespace {

#if !defined(_WIN32)
// A process without a controlling terminal (cron, a service) cannot show
// the overview: the run's views answer Cancel, so a plan the user asked to
// confirm never runs unseen.
TEST(RunViews, WithoutATerminalTheOverviewCountsAsCancel) {
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    std::unique_ptr<RunUi> views = MakeRunViews();
    _exit(views && !views->RunOverview() ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(RunViews, QuietViewsNeverShowTheOverview) {
  SetQuietViews(true);
  EXPECT_FALSE(MakeRunViews()->RunOverview());
  SetQuietViews(false);
}

}  // namespace
}  // namespace tolvex
