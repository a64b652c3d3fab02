// The drive table (TOLVEX_DRIVES) and the splitting of drive paths.
#ifndef _WIN32

#include "platform/posix/drive_table.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tolvex::posix {
namespace {

std::string RootOf(const DriveTable& table, char letter) {
  const std::string* root = table.Root(letter);
  return root ? *root : "(unmapped)";
}

TEST(DriveTableTest, ParsesLettersInEitherCaseAndIgnoresMalformedEntries) {
  const DriveTable table = DriveTable::Parse(
      "c=/home/me; D = /mnt/usb/ ;;junk;E=relative/path;F=;GH=/x;1=/y;Z=/;K=/a;k=/b");
  EXPECT_EQ(RootOf(table, 'C'), "/home/me");
  EXPECT_EQ(RootOf(table, 'c'), "/home/me");
  EXPECT_EQ(RootOf(table, 'D'), "/mnt/usb");  // blanks and trailing slash gone
  EXPECT_EQ(RootOf(table, 'E'), "(unmapped)");
  EXPECT_EQ(RootOf(table, 'F'), "(unmapped)");
  EXPECT_EQ(RootOf(table, 'G'), "(unmapped)");
  EXPECT_EQ(RootOf(table, 'Z'), "/");
  EXPECT_EQ(RootOf(table, 'K'), "/b");  // the later entry wins
  EXPECT_EQ(RootOf(table, 'Q'), "(unmapped)");
  EXPECT_EQ(RootOf(table, '1'), "(unmapped)");
}

TEST(DriveTableTest, WithoutTheVariableOnlyZIsTheFileSystemRoot) {
  const char* saved = std::getenv("TOLVEX_DRIVES");
  const std::string restore = saved ? saved : "";
  unsetenv("TOLVEX_DRIVES");
  const DriveTable unset = DriveTable::FromEnvironment();
  setenv("TOLVEX_DRIVES", "", 1);
  const DriveTable empty = DriveTable::FromEnvironment();
  if (saved) {
    setenv("TOLVEX_DRIVES", restore.c_str(), 1);
  } else {
    unsetenv("TOLVEX_DRIVES");
  }
  EXPECT_EQ(RootOf(unset, 'Z'), "/");
  EXPECT_EQ(RootOf(unset, 'C'), "(unmapped)");
  // Set but empty: the user mapped nothing.
  EXPECT_EQ(RootOf(empty, 'Z'), "(unmapped)");
}

TEST(DriveTableTest, SplitsDrivePathsWithoutClimbingAboveTheRoot) {
  struct Case {
    const char* path;
    char letter;
    std::vector<std::string> names;
    bool trailing;
  };
  const Case cases[] = {
      {"C:\\", 'C', {}, true},
      {"c:", 'C', {}, false},
      {"C:\\a\\b.txt", 'C', {"a", "b.txt"}, false},
      {"C:/a/b/", 'C', {"a", "b"}, true},
      {"C:\\a\\\\b", 'C', {"a", "b"}, false},
      {"C:\\a\\.\\b\\..\\c", 'C', {"a", "c"}, false},
      {"C:\\..\\..\\etc\\passwd", 'C', {"etc", "passwd"}, false},
      {"C:\\a\\..\\..\\..\\b", 'C', {"b"}, false},
      {"C:\\...\\x", 'C', {"...", "x"}, false},
  };
  for (const Case& c : cases) {
    DrivePath split;
    ASSERT_TRUE(SplitDrivePath(c.path, &split)) << c.path;
    EXPECT_EQ(split.letter, c.letter) << c.path;
    EXPECT_EQ(split.names, c.names) << c.path;
    EXPECT_EQ(split.trailing_separator, c.trailing) << c.path;
  }
  DrivePath split;
  EXPECT_FALSE(SplitDrivePath("relative\\path", &split));
  EXPECT_FALSE(SplitDrivePath("\\\\server\\share", &split));
  EXPECT_FALSE(SplitDrivePath("1:\\x", &split));
  EXPECT_FALSE(SplitDrivePath("", &split));
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
