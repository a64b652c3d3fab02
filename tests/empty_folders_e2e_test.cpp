// Empty folders through the tolvex command, measured against rsync -a: after
// a run, rsync with the job's selections as filters has no folder to make or
// delete, a second run plans nothing, both ways too; EmptyFolders = no keeps
// the run as before.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/command_fixture.h"

#if !defined(_WIN32)
namespace {

using namespace tolvex::command_test;

class EmptyFoldersCommand : public TolvexCommand {
 protected:
  // What `rsync -a --delete --dry-run --itemize-changes` would still do from
  // `from`/ to `to`/ with the job's selections as filters: its lines that
  // make or delete an entry or copy a file. (Lines that only set a folder's
  // time or mode are left out: folder stamps are not kept by the engine,
  // and modes are another matter.)
  std::vector<std::string> RsyncWouldChange(const std::string& from, const std::string& to,
                                            const std::string& filters) const {
    const std::string command = "rsync -a --delete --dry-run --itemize-changes " + filters + " '" +
                                P(from) + "/' '" + P(to) + "/' 2>&1";
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
      ADD_FAILURE() << "cannot start " << command;
      return lines;
    }
    char buffer[4096];
    std::string text;
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    EXPECT_EQ(pclose(pipe), 0) << command << "\n" << text;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(".d", 0) == 0) continue;  // a folder's time or mode
      lines.push_back(line);
    }
    return lines;
  }

  void MakeFolder(const std::string& relative) const { fs::create_directories(root_ / relative); }

  static bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
  }
};

using Lines = std::vector<std::string>;

TEST_F(EmptyFoldersCommand, EmptyFoldersAreBackedUpAsRsyncDoes) {
  const std::string filters = "--exclude=/excluded/ --exclude='*.tmp'";
  for (const bool mirrored : {false, true}) {
    SCOPED_TRACE(mirrored ? "EmptyFolders = yes" : "EmptyFolders = no");
    fs::remove_all(root_ / "source");
    fs::remove_all(root_ / "backup");
    Put("source/a.txt", "a");
    Put("source/full/f.txt", "f");
    MakeFolder("source/empty");
    MakeFolder("source/deep/er/est");
    MakeFolder("source/full/inner");
    MakeFolder("source/.hidden-empty");
    MakeFolder("source/excluded/sub");
    Put("source/only-tmp/x.tmp", "left out");
    MakeFolder("backup/gone/deeper");
    Put("backup/gone-files/old.txt", "gone from the source");
    WriteJob(std::string("OrphanModeD2 = erase\n") +
                 (mirrored ? "" : "EmptyFolders = no\n"),
             "[DExclSels]\n" + P("source/excluded") + Star() + "\n[FExclSels]\n*.tmp\n");

    const Result first = RunJob();
    EXPECT_STATUS(first, 0);
    const Lines left = RsyncWouldChange("source", "backup", filters);
    if (mirrored) {
      EXPECT_EQ(left, Lines{}) << first.out;
      EXPECT_FALSE(Exists("backup/excluded"));
      EXPECT_FALSE(Exists("backup/only-tmp/x.tmp"));
      EXPECT_TRUE(Has(first.out, "empty folders made")) << first.out;
      // The plan of a second run holds nothing, and the run does nothing.
      const Result plan = Run("plan \"" + P("job.job") + "\"");
      EXPECT_STATUS(plan, 0);
      EXPECT_FALSE(Has(plan.out, "make folder")) << plan.out;
      EXPECT_FALSE(Has(plan.out, "remove folder")) << plan.out;
      EXPECT_TRUE(Has(plan.out, "Nothing to update")) << plan.out;
      EXPECT_STATUS(RunJob(), 0);
      EXPECT_EQ(RsyncWouldChange("source", "backup", filters), Lines{});
    } else {
      // As before: only the folders of copied files are made, and folders
      // gone from the source stay (DeleteDestDirs is off).
      EXPECT_EQ(left, (Lines{"*deleting   gone/deeper/", "*deleting   gone/",
                             "*deleting   gone-files/", "cd+++++++++ .hidden-empty/",
                             "cd+++++++++ deep/", "cd+++++++++ deep/er/",
                             "cd+++++++++ deep/er/est/", "cd+++++++++ empty/",
                             "cd+++++++++ full/inner/", "cd+++++++++ only-tmp/"}));
      EXPECT_TRUE(Exists("backup/gone/deeper"));
    }
    EXPECT_FALSE(Exists("backup/gone-files/old.txt"));
  }
}

TEST_F(EmptyFoldersCommand, TwoWayRunsMakeEachSidesEmptyFoldersOnTheOther) {
  Put("source/a.txt", "a");
  Put("backup/b.txt", "b");
  MakeFolder("source/only-in-source/inner");
  MakeFolder("backup/only-in-backup");
  WriteJob("TouchMode = both\nOrphanModeB = copy");
  const Result first = RunJob();
  EXPECT_STATUS(first, 0);
  EXPECT_EQ(RsyncWouldChange("source", "backup", ""), Lines{}) << first.out;
  EXPECT_EQ(RsyncWouldChange("backup", "source", ""), Lines{}) << first.out;
  const Result plan = Run("plan \"" + P("job.job") + "\"");
  EXPECT_STATUS(plan, 0);
  EXPECT_FALSE(Has(plan.out, "make folder")) << plan.out;
  EXPECT_TRUE(Has(plan.out, "Nothing to update")) << plan.out;
}

}  // namespace
#endif
