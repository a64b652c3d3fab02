// "tolvex list" and "tolvex restore" end to end through the command: the
// backups a job keeps, and files and folders got back from them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/command_fixture.h"

namespace {

using namespace tolvex::command_test;

class RestoreCommand : public TolvexCommand {
 protected:
  // Every file below `relative` with its content and time.
  std::map<std::string, std::pair<std::string, fs::file_time_type>> Tree(const std::string& relative) const {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
    const fs::path top = root_ / relative;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      if (!entry.is_regular_file()) continue;
      files[fs::relative(entry.path(), top).generic_string()] = {ReadText(entry.path()),
                                                                 entry.last_write_time()};
    }
    return files;
  }
  std::string Quoted(const std::string& relative) const { return "\"" + P(relative) + "\""; }
  Result Restore(const std::string& options, const std::string& relative) const {
    return Run("restore " + options + " " + Quoted("job.job") + " " + Quoted(relative));
  }
  // The first line of "tolvex list --format=json JOB": the newest backup.
  std::string NewestListed() const {
    const Result listed = Run("list --format=json " + Quoted("job.job"));
    EXPECT_STATUS(listed, 0);
    return listed.out.substr(0, listed.out.find('\n'));
  }
};

// Three rotating runs, each with another edition of the folder; the folder
// is deleted from the source and comes back from each generation in turn,
// identical to that generation's copy in content and time. "list" names the
// newest generation right after each rotation and shows every version.
TEST_F(RestoreCommand, AFolderDeletedAfterThreeRotatingRunsComesBackFromEachGeneration) {
  WriteJob("VaryMode = generations\nOrphanModeD2 = erase");
  Put("source/keep.txt", "stays", 100h);
  const char* editions[] = {"first", "second edition", "third edition, longest"};
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    const auto age = std::chrono::hours(96 - 24 * run);
    Put("source/docs/a.txt", editions[run], age);
    Put("source/docs/deep/b.bin", std::string("\0\x01\xff", 3) + editions[run], age);
    if (run == 1) {
      // As if the first run had been a day ago: its time must move to Son
      // with the rotation, and Grandson get this run's.
      std::ofstream(root_ / "job.job.state")
          << "[State]\nLastUpdate = " << DateAgo(24h) << "\n[Generations]\nGrandson = " << DateAgo(24h) << "\n";
    }
    ASSERT_EQ(RunJob().status, 0);
    const std::string newest = NewestListed();
    EXPECT_NE(newest.find("\"name\":\"Grandson\""), std::string::npos) << newest;
    EXPECT_NE(newest.find("\"newest\":true"), std::string::npos) << newest;
    EXPECT_NE(newest.find("\"completed\":\"20"), std::string::npos) << newest;
    EXPECT_NE(newest.find("\"files\":3"), std::string::npos) << newest;
    const Result listed = Run("list --format=json " + Quoted("job.job"));
    EXPECT_EQ(CountOf(listed.out, "\"kind\":\"generation\""), run + 1);
    if (run == 1) {
      const size_t son = listed.out.find("\"name\":\"Son\"");
      ASSERT_NE(son, std::string::npos) << listed.out;
      const std::string son_line = listed.out.substr(son, listed.out.find('\n', son) - son);
      EXPECT_NE(son_line.find("\"completed\":\"" + DateAgo(24h).substr(0, 10)), std::string::npos)
          << son_line;
      EXPECT_EQ(newest.find(DateAgo(24h).substr(0, 10)), std::string::npos) << newest;
    }
    // The newest backup holds this run's edition.
    const Result version = Run("list --format=json " + Quoted("job.job") + " " + Quoted("source/docs/a.txt"));
    EXPECT_NE(version.out.substr(0, version.out.find('\n'))
                  .find("\"size\":" + std::to_string(std::string(editions[run]).size()) + ","),
              std::string::npos)
        << version.out;
  }
  const std::map<std::string, std::string> holds = {
      {"Grandson", editions[2]}, {"Son", editions[1]}, {"Father", editions[0]}};
  for (const auto& [generation, edition] : holds) {
    EXPECT_EQ(Get("backup/" + generation + "/docs/a.txt"), edition) << generation;
  }
  // Every version of the file, newest first.
  const Result versions = Run("list " + Quoted("job.job") + " " + Quoted("source/docs/a.txt"));
  EXPECT_STATUS(versions, 0);
  const size_t grandson = versions.out.find("Grandson"), son = versions.out.find("Son "),
               father = versions.out.find("Father");
  EXPECT_TRUE(grandson < son && son < father) << versions.out;
  EXPECT_NE(versions.out.find("(" + std::to_string(std::string(editions[1]).size()) + " bytes)"),
            std::string::npos) << versions.out;

  fs::remove_all(root_ / "source/docs");
  for (const auto& [generation, edition] : holds) {
    SCOPED_TRACE(generation);
    const Result restored = Restore("--from " + generation, "source/docs");
    EXPECT_STATUS(restored, 0);
    EXPECT_NE(restored.out.find("Restore completed."), std::string::npos) << restored.out;
    EXPECT_EQ(restored.out.find("written into"), std::string::npos) << restored.out;
    EXPECT_EQ(Tree("source/docs"), Tree("backup/" + generation + "/docs"));
    EXPECT_EQ(Get("source/docs/a.txt"), edition);
    fs::remove_all(root_ / "source/docs");
  }
  // Without --from: the newest generation that holds it; --to: elsewhere.
  EXPECT_STATUS(Restore("", "source/docs"), 0);
  EXPECT_EQ(Tree("source/docs"), Tree("backup/Grandson/docs"));
  EXPECT_STATUS(Restore("--from Father --to " + Quoted("elsewhere"), "source/docs"), 0);
  EXPECT_EQ(Tree("elsewhere/docs"), Tree("backup/Father/docs"));
  EXPECT_EQ(Get("source/docs/a.txt"), editions[2]);  // left where it was
  EXPECT_EQ(Get("source/keep.txt"), "stays");
  // Restoring is no backup run: the generations stay as they were.
  EXPECT_EQ(Get("backup/Son/docs/a.txt"), editions[1]);
  EXPECT_FALSE(Exists("backup/Grandfather"));
}

// The command's jobs share unchanged files unless they say otherwise: three
// rotating runs of an unchanged tree keep each file once, under a name in
// each generation, and a folder deleted from the source comes back from
// each generation identical (content and time). With ShareUnchanged = no
// each generation holds copies of its own.
TEST_F(RestoreCommand, GenerationsOfAnUnchangedTreeShareTheirFilesAndEachRestores) {
  const std::vector<std::string> files = {"docs/a.txt", "docs/deep/b.bin"};
  Put("source/docs/a.txt", "alpha", 100h);
  Put("source/docs/deep/b.bin", std::string("\0\x01\xff", 3) + "beta", 90h);
  const char* const generations[] = {"Grandson", "Son", "Father"};
  for (const bool share : {true, false}) {
    SCOPED_TRACE(share ? "default" : "ShareUnchanged = no");
    fs::remove_all(root_ / "backup");
    fs::remove(root_ / "job.job.state");
    WriteJob(share ? "VaryMode = generations" : "VaryMode = generations\nShareUnchanged = no");
    const Result checked = Run("check " + Quoted("job.job"));
    EXPECT_NE(checked.out.find("ShareUnchanged"), std::string::npos) << checked.out;
    for (int run = 0; run < 3; ++run) ASSERT_EQ(RunJob().status, 0);
    for (const std::string& file : files) {
      for (const char* generation : generations) {
        const fs::path path = root_ / "backup" / generation / file;
        EXPECT_EQ(ReadText(path), Get("source/" + file)) << path;
#ifndef _WIN32  // MinGW's std::filesystem does not tell names of one file apart
        EXPECT_EQ(fs::hard_link_count(path), share ? 3u : 1u) << path;
        if (generation != generations[0]) {
          EXPECT_EQ(fs::equivalent(path, root_ / "backup/Grandson" / file), share) << path;
        }
#endif
      }
    }
    fs::remove_all(root_ / "source/docs");
    for (const char* generation : generations) {
      SCOPED_TRACE(generation);
      EXPECT_STATUS(Restore(std::string("--from ") + generation, "source/docs"), 0);
      EXPECT_EQ(Tree("source/docs"), Tree(std::string("backup/") + generation + "/docs"));
      if (generation != generations[2]) fs::remove_all(root_ / "source/docs");
    }
  }
}

// Files in place: one newer than the backup's copy (asked about; --yes
// keeps it, --overwrite replaces it), one older (replaced), one the backup
// does not hold (never touched). A replaced file stays beside its place as
// NAME.tolvex-replaced. Nothing is erased, and a restore without a terminal
// and without an answer changes nothing.
TEST_F(RestoreCommand, ARestoreNeverErasesAndAsksBeforeReplacingNewerFiles) {
  WriteJob("");  // Destination itself
  Put("source/docs/newer.txt", "backed up", 72h);
  Put("source/docs/older.txt", "backed up, newer than in place", 48h);
  Put("source/docs/gone.txt", "deleted since", 72h);
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_NE(NewestListed().find("\"name\":\"Destination\""), std::string::npos);
  Put("source/docs/newer.txt", "edited since the backup", 1h);
  Put("source/docs/older.txt", "an older copy put back", 96h);
  Put("source/docs/only-here.txt", "never backed up", 2h);
  fs::remove(root_ / "source/docs/gone.txt");
  const auto before = Tree("source");

  const Result unanswered = Restore("", "source/docs");
  EXPECT_STATUS(unanswered, 7);
  EXPECT_NE(unanswered.err.find(P("source/docs/newer.txt")), std::string::npos) << unanswered.err;
  EXPECT_EQ(Tree("source"), before);

  const Result planned = Restore("--dry-run", "source/docs");
  EXPECT_STATUS(planned, 0);
  EXPECT_NE(planned.out.find("newer in place       " + P("source/docs/newer.txt")), std::string::npos)
      << planned.out;
  EXPECT_NE(planned.out.find("keep replaced file   " + P("source/docs/older.txt")), std::string::npos)
      << planned.out;
  EXPECT_EQ(planned.out.find("only-here"), std::string::npos) << planned.out;
  EXPECT_EQ(Tree("source"), before);

  const Result kept = Restore("--yes", "source/docs");
  EXPECT_STATUS(kept, 0);
  EXPECT_EQ(Get("source/docs/newer.txt"), "edited since the backup");
  EXPECT_EQ(Get("source/docs/older.txt"), "backed up, newer than in place");
  EXPECT_EQ(Get("source/docs/older.txt.tolvex-replaced"), "an older copy put back");
  EXPECT_EQ(Get("source/docs/gone.txt"), "deleted since");
  EXPECT_EQ(Get("source/docs/only-here.txt"), "never backed up");
  EXPECT_FALSE(Exists("source/docs/newer.txt.tolvex-replaced"));

  const Result replaced = Restore("--overwrite", "source/docs");
  EXPECT_STATUS(replaced, 0);
  EXPECT_EQ(Get("source/docs/newer.txt"), "backed up");
  EXPECT_EQ(Get("source/docs/newer.txt.tolvex-replaced"), "edited since the backup");
  EXPECT_EQ(Get("source/docs/older.txt.tolvex-replaced"), "an older copy put back");
  EXPECT_FALSE(Exists("source/docs/older.txt.tolvex-replaced.2"));
  EXPECT_EQ(Get("source/docs/only-here.txt"), "never backed up");
  EXPECT_EQ(Tree("backup/docs").size(), 3u);
}

TEST_F(RestoreCommand, PathsAndGenerationsTheBackupDoesNotHoldAreRefused) {
  WriteJob("VaryMode = generations");
  Put("source/a.txt", "a");
  const Result none_yet = Restore("", "source/a.txt");
  EXPECT_STATUS(none_yet, 2);
  EXPECT_NE(none_yet.err.find("no backup"), std::string::npos) << none_yet.err;
  ASSERT_EQ(RunJob().status, 0);
  const struct {
    const char* options;
    const char* path;
    const char* why;
  } cases[] = {
      {"", "source/missing.txt", "no backup folder of the job holds it"},
      {"--from Son", "source/a.txt", "--from Son"},
      {"--from 1999-01-01", "source/a.txt", "--from 1999-01-01"},
      {"", "elsewhere/a.txt", "no folder selection of the job"},
      {"--yes --overwrite", "source/a.txt", "exclude each other"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.options) + " " + c.path);
    const Result refused = Restore(c.options, c.path);
    EXPECT_STATUS(refused, 2);
    EXPECT_NE(refused.err.find(c.why), std::string::npos) << refused.err;
  }
  EXPECT_EQ(Get("source/a.txt"), "a");
  EXPECT_STATUS(Restore("--from Grandson", "source/a.txt"), 0);
  // The selected folder itself, whole.
  fs::remove_all(root_ / "source");
  EXPECT_STATUS(Restore("", "source"), 0);
  EXPECT_EQ(Get("source/a.txt"), "a");
}

}  // namespace
