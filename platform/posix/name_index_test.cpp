// The name index on its own: when it reads a folder, and when it must not
// trust what it read.
#ifndef _WIN32

#include "platform/posix/name_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "testing/test_drives.h"

namespace tolvex::posix {
namespace {

// The real-time clock, as a listing's read start.
int64_t NowNs() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class NameIndexTest : public testing::Test {
 protected:
  std::string Folder(const std::string& name) {
    drives_.MakeDirs("S:\\" + name);
    return drives_.Native("S:\\" + name);
  }
  void Touch(const std::string& folder, const std::string& name) {
    const int fd = open((folder + "/" + name).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  TestDrives drives_;
};

TEST_F(NameIndexTest, FindsOtherSpellingsAndNothingElse) {
  NameIndex index;
  index.set_racy_window_ns(0);
  const std::string folder = Folder("a");
  Touch(folder, "ReadMe.TXT");
  Touch(folder, "readme.txt.bak");
  EXPECT_EQ(index.FindCaseless(folder, "README.txt").value_or("-"), "ReadMe.TXT");
  EXPECT_EQ(index.FindCaseless(folder, "readme").value_or("-"), "-");
  EXPECT_EQ(index.FindCaseless(folder + "/missing", "x").value_or("-"), "-");
  EXPECT_EQ(index.folder_reads(), 1u);
}

TEST_F(NameIndexTest, ARacyListingIsReadAgainOnTheNextMiss) {
  NameIndex index;  // the real window: the folder was changed just now
  const std::string folder = Folder("fresh");
  Touch(folder, "x");
  index.FindCaseless(folder, "Y");
  index.FindCaseless(folder, "Y");
  EXPECT_EQ(index.folder_reads(), 2u);
  // A listing handed over while the folder was old enough is trusted.
  index.set_racy_window_ns(0);
  index.FindCaseless(folder, "Y");
  index.FindCaseless(folder, "Y");
  EXPECT_EQ(index.folder_reads(), 3u);
}

TEST_F(NameIndexTest, ChangesByThisProcessUpdateACurrentListingOnly) {
  NameIndex index;
  index.set_racy_window_ns(0);
  const std::string folder = Folder("c");
  index.FindCaseless(folder, "none");
  FolderChange change = index.BeginChange(folder);
  Touch(folder, "Made.txt");
  index.EndChange(change, "Made.txt", std::string());
  EXPECT_EQ(index.FindCaseless(folder, "MADE.TXT").value_or("-"), "Made.txt");
  EXPECT_EQ(index.folder_reads(), 1u);
  // Someone else changed the folder before our change: the listing is
  // dropped instead of being patched.
  Touch(folder, "Theirs.txt");
  change = index.BeginChange(folder);
  Touch(folder, "Ours.txt");
  index.EndChange(change, "Ours.txt", std::string());
  EXPECT_EQ(index.FindCaseless(folder, "THEIRS.TXT").value_or("-"), "Theirs.txt");
  EXPECT_EQ(index.folder_reads(), 2u);
}

TEST_F(NameIndexTest, KeepsAtMostItsLimitOfFolders) {
  NameIndex index(2, 1000);
  index.set_racy_window_ns(0);
  const std::string a = Folder("a"), b = Folder("b"), c = Folder("c");
  index.FindCaseless(a, "x");
  index.FindCaseless(b, "x");
  index.FindCaseless(a, "x");  // a is now the most recently used
  index.FindCaseless(c, "x");  // evicts b
  EXPECT_EQ(index.folder_reads(), 3u);
  index.FindCaseless(a, "x");
  EXPECT_EQ(index.folder_reads(), 3u);
  index.FindCaseless(b, "x");
  EXPECT_EQ(index.folder_reads(), 4u);
}

// A handed-over listing is only folded for caseless lookups when first
// needed; changes made before that, and the limit on names, must still
// count every name it holds.
TEST_F(NameIndexTest, AHandedOverListingAnswersAfterOwnChangesWithoutARead) {
  NameIndex index;
  index.set_racy_window_ns(0);
  const std::string folder = Folder("h");
  Touch(folder, "Keep.txt");
  Touch(folder, "Gone.txt");
  struct stat st;
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  index.Remember(folder, FolderKeyOf(st), NowNs(), {"Keep.txt", "Gone.txt"});
  FolderChange change = index.BeginChange(folder);
  ASSERT_EQ(unlink((folder + "/Gone.txt").c_str()), 0);
  index.EndChange(change, std::string(), "Gone.txt");
  change = index.BeginChange(folder);
  Touch(folder, "New.txt");
  index.EndChange(change, "New.txt", std::string());
  const struct {
    const char* asked;
    const char* found;
  } cases[] = {{"KEEP.TXT", "Keep.txt"}, {"gone.txt", "-"}, {"new.TXT", "New.txt"}};
  for (const auto& c : cases) {
    EXPECT_EQ(index.FindCaseless(folder, c.asked).value_or("-"), c.found) << c.asked;
  }
  EXPECT_EQ(index.folder_reads(), 0u);
}

TEST_F(NameIndexTest, KeepsAtMostItsLimitOfNamesFromHandedOverListings) {
  NameIndex index(100, 3);
  index.set_racy_window_ns(0);
  const std::string a = Folder("a"), b = Folder("b");
  struct stat st;
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  index.Remember(a, FolderKeyOf(st), NowNs(), {"x1", "x2"});
  ASSERT_EQ(stat(b.c_str(), &st), 0);
  index.Remember(b, FolderKeyOf(st), NowNs(), {"y1", "y2"});  // four names: a goes
  index.FindCaseless(b, "Y1");
  EXPECT_EQ(index.folder_reads(), 0u);
  index.FindCaseless(a, "X1");
  EXPECT_EQ(index.folder_reads(), 1u);
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
