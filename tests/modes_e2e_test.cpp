// The tolvex command keeps file and folder modes (POSIX): copies keep them,
// made folders take their source folders', a mode-only change is planned,
// shown and summed up as a mode set of its own, both ways in either
// direction; and an ordinary user backs up a folder of mode 500.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "tests/command_fixture.h"

namespace {

using namespace tolvex::command_test;

class CommandModes : public TolvexCommand {
 protected:
  struct stat Stat(const std::string& relative) const {
    struct stat st {};
    EXPECT_EQ(stat(P(relative).c_str(), &st), 0) << relative;
    return st;
  }
  unsigned ModeOf(const std::string& relative) const { return Stat(relative).st_mode & 07777; }
  void SetModeOf(const std::string& relative, unsigned mode) const {
    ASSERT_EQ(chmod(P(relative).c_str(), mode), 0) << relative;
  }
  // The mode set so that `relative` changed after `other` did (change times
  // move at the kernel clock's tick).
  void SetModeAfter(const std::string& relative, unsigned mode, const std::string& other) const {
    const auto changed = [this](const std::string& r) {
      const struct stat st = Stat(r);
      return std::make_pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    };
    for (int tries = 0; tries < 1000000; ++tries) {
      SetModeOf(relative, mode ^ 0100);
      SetModeOf(relative, mode);
      if (changed(relative) > changed(other)) return;
    }
    FAIL() << "the change time of " << relative << " never passed that of " << other;
  }
};

TEST_F(CommandModes, CopiesKeepModesAndAModeOnlyChangeIsPlannedAndCarriedOutAsItsOwnAction) {
  Put("source/private.txt", "private");
  Put("source/run.sh", "#!/bin/sh\n");
  Put("source/secret/key.txt", "key");
  Put("source/b.txt", "b");
  SetModeOf("source/private.txt", 0600);
  SetModeOf("source/run.sh", 0755);
  SetModeOf("source/secret", 0700);
  SetModeOf("source/b.txt", 0644);
  WriteJob("");
  const Result first = RunJob();
  EXPECT_STATUS(first, 0);
  EXPECT_EQ(ModeOf("backup/private.txt"), 0600u);
  EXPECT_EQ(ModeOf("backup/run.sh"), 0755u);
  EXPECT_EQ(ModeOf("backup/secret"), 0700u);
  EXPECT_EQ(ModeOf("backup/secret/key.txt"), Stat("source/secret/key.txt").st_mode & 07777);

  SetModeOf("source/b.txt", 0600);
  const Result plan = Run("plan \"" + P("job.job") + "\"");
  EXPECT_STATUS(plan, 0);
  EXPECT_NE(plan.out.find("set mode    " + P("source/b.txt") + " -> " + P("backup/b.txt")),
            std::string::npos)
      << plan.out;
  EXPECT_NE(plan.out.find("mode 600, was 644"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("set modes in the destination"), std::string::npos) << plan.out;
  EXPECT_EQ(ModeOf("backup/b.txt"), 0644u);

  const Result json = Run("plan --format=json \"" + P("job.job") + "\"");
  EXPECT_NE(json.out.find("\"kind\":\"set_mode\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"mode\":\"600\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"modes_set_in_destination\":1"), std::string::npos) << json.out;

  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(ModeOf("backup/b.txt"), 0600u);
  EXPECT_EQ(Get("backup/b.txt"), "b");
  EXPECT_NE(second.out.find("modes set in the destination"), std::string::npos) << second.out;
  // No event of the log has room for a mode: the mode set is logged as a copy.
  EXPECT_EQ(CountOf(Log(), "File copied:"), 1) << Log();
  EXPECT_NE(Log().find("File copied: "), std::string::npos) << Log();
  EXPECT_NE(Log().find("\\source\\b.txt"), std::string::npos) << Log();

  const Result third = RunJob();
  EXPECT_STATUS(third, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:"), 0) << Log();
  EXPECT_NE(third.out.find("Nothing to update"), std::string::npos) << third.out;
}

TEST_F(CommandModes, BothWaysTheModeChangedLastGoesAcross) {
  Put("source/a.txt", "a");
  Put("source/b.txt", "b");
  SetModeOf("source/a.txt", 0644);
  SetModeOf("source/b.txt", 0644);
  WriteJob("TouchMode = 1");
  ASSERT_EQ(RunJob().status, 0);
  SetModeAfter("source/a.txt", 0600, "backup/a.txt");
  SetModeAfter("backup/b.txt", 0755, "source/b.txt");
  const Result run = RunJob();
  EXPECT_STATUS(run, 0);
  EXPECT_EQ(ModeOf("backup/a.txt"), 0600u);
  EXPECT_EQ(ModeOf("source/a.txt"), 0600u);
  EXPECT_EQ(ModeOf("source/b.txt"), 0755u);
  EXPECT_EQ(ModeOf("backup/b.txt"), 0755u);
  EXPECT_NE(run.out.find("modes set in the destination"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("modes set in the source"), std::string::npos) << run.out;
  const Result again = RunJob();
  EXPECT_STATUS(again, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:"), 0) << Log();
}

// An ordinary user (as root the command runs as nobody) backs up a folder
// of mode 500: the backup's copy is filled first and closed afterwards, and
// a later file goes into it all the same.
TEST_F(CommandModes, AnOrdinaryUserBacksUpAFolderOfMode500) {
  Put("source/locked/f.txt", "f");
  Put("source/locked/inner/g.txt", "g");
  SetModeOf("source/locked/inner", 0700);
  SetModeOf("source/locked", 0500);
  WriteJob("");
  std::string as_user;
  if (geteuid() == 0) {
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
    }
    ASSERT_EQ(chown(root_.c_str(), 65534, 65534), 0);
    as_user = "HOME='" + P("") + "' XDG_CONFIG_HOME='" + P("config") +
              "' setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  const Result first = RunJob("", as_user);
  EXPECT_STATUS(first, 0);
  EXPECT_EQ(Get("backup/locked/f.txt"), "f");
  EXPECT_EQ(Get("backup/locked/inner/g.txt"), "g");
  EXPECT_EQ(ModeOf("backup/locked"), 0500u);
  EXPECT_EQ(ModeOf("backup/locked/inner"), 0700u);
  if (geteuid() == 0) {
    EXPECT_EQ(Stat("backup/locked/f.txt").st_uid, 65534u);
  }

  SetModeOf("source/locked", 0700);
  Put("source/locked/later.txt", "later");
  if (geteuid() == 0) {
    ASSERT_EQ(lchown(P("source/locked/later.txt").c_str(), 65534, 65534), 0);
  }
  SetModeOf("source/locked", 0500);
  const Result second = RunJob("", as_user);
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(Get("backup/locked/later.txt"), "later");
  EXPECT_EQ(ModeOf("backup/locked"), 0500u);
  const Result third = RunJob("", as_user);
  EXPECT_STATUS(third, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:"), 0) << Log();
}

}  // namespace

#endif  // !_WIN32
