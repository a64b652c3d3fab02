// The Win32 back end's own parts of CopyOver: the detour through a temporary
// name must leave nothing behind and must not change what the target holds
// when the copy fails. (What CopyOver shares with the POSIX back end is in
// the conformance suite.)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

// Every name in `folder` as the system lists it, temporary names included.
std::vector<std::string> RawNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return names;
}

class Win32CopyTest : public ::testing::Test {
 protected:
  TestDrives drives_{"ST"};
};

TEST_F(Win32CopyTest, ReplacingCopyLeavesOnlyTheTarget) {
  drives_.WriteFile("S:\\src.txt", "new content");
  drives_.WriteFile("T:\\dst\\src.txt", "old");
  ASSERT_EQ(Sys().CopyOver("S:\\src.txt", "T:\\dst\\src.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("T:\\dst\\src.txt"), "new content");
  EXPECT_EQ(RawNames("T:\\dst\\"), std::vector<std::string>{"src.txt"});
}

// A source that another program holds open without sharing cannot be read:
// the copy fails as CopyFileA does, and the old target stays untouched.
TEST_F(Win32CopyTest, FailedCopyKeepsTheOldTargetAndNoTemporaryFile) {
  drives_.WriteFile("S:\\locked.txt", "new");
  drives_.WriteFile("T:\\locked.txt", "old");
  const HANDLE lock = ::CreateFileA("S:\\locked.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const uint32_t error = Sys().CopyOver("S:\\locked.txt", "T:\\locked.txt");
  ::CloseHandle(lock);
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_EQ(drives_.ReadFile("T:\\locked.txt"), "old");
  EXPECT_EQ(RawNames("T:\\"), std::vector<std::string>{"locked.txt"});
}

// A read-only source gives a read-only temporary file; replacing with it and
// copying over the result again (after clearing the bit) must both work.
TEST_F(Win32CopyTest, ReadOnlySourceIsCopiedWithItsBit) {
  drives_.WriteFile("S:\\ro.txt", "one");
  drives_.WriteFile("T:\\ro.txt", "old");
  ASSERT_EQ(Sys().SetAttributes("S:\\ro.txt", kAttrReadOnly), kErrOk);
  ASSERT_EQ(Sys().CopyOver("S:\\ro.txt", "T:\\ro.txt"), kErrOk);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("T:\\ro.txt", &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrReadOnly, 0u);
  EXPECT_EQ(Sys().CopyOver("S:\\ro.txt", "T:\\ro.txt"), kErrAccessDenied);
  ASSERT_EQ(Sys().SetAttributes("T:\\ro.txt", 0), kErrOk);
  EXPECT_EQ(Sys().CopyOver("S:\\ro.txt", "T:\\ro.txt"), kErrOk);
  EXPECT_EQ(RawNames("T:\\"), std::vector<std::string>{"ro.txt"});
}

// Near the ANSI path limit the temporary name would not fit beside the
// target: the file is still copied.
TEST_F(Win32CopyTest, TargetNearThePathLimitIsStillCopied) {
  std::string folder = "T:\\";
  while (folder.size() < 240) folder += "deep_folder\\";
  drives_.MakeDirs(folder);
  drives_.WriteFile("S:\\a.txt", "content");
  const std::string target = folder + "a.txt";
  ASSERT_LT(target.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_GE(folder.size() + kTempNameLength, static_cast<size_t>(MAX_PATH));
  ASSERT_EQ(Sys().CopyOver("S:\\a.txt", target), kErrOk);
  EXPECT_EQ(drives_.ReadFile(target), "content");
  EXPECT_EQ(RawNames(folder), std::vector<std::string>{"a.txt"});
}

// Leftovers of an interrupted copy stay invisible to every enumeration.
TEST_F(Win32CopyTest, TemporaryNamesAreNeverEnumerated) {
  const std::string leftover = "T:\\" + TemporaryName(0x0badc0de0badc0deull, 1);
  drives_.WriteFile(leftover, "partial");
  std::vector<FindEntry> entries;
  EXPECT_EQ(Sys().FindEntries("T:\\*.*", kAttrDirectory, &entries, nullptr), kErrFileNotFound);
  EXPECT_TRUE(entries.empty());
  drives_.WriteFile("T:\\real.txt", "x");
  EXPECT_EQ(Sys().FindEntries("T:\\*.*", kAttrDirectory, &entries, nullptr), kErrOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "real.txt");
}

}  // namespace
}  // namespace tolvex
