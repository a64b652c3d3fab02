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

std::vector<std::string> TemporaryNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : RawNames(folder)) {
    if (IsTemporaryName(name)) names.push_back(name);
  }
  return names;
}

// Staged copies are written and held under temporary names; completed, they
// are flushed and put in place in the order staged, up to the first that
// fails, and the later ones are dropped; dropped, no target changes. A
// read-only source keeps its bit through the staging, and another process
// cannot take a staged copy for a dead one (it is held without delete
// sharing until its flush).
TEST_F(Win32CopyTest, StagedCopiesTakeTheirPlaceInOrderOrNotAtAll) {
  enum class End { kComplete, kSecondTargetBecomesAFolder, kDrop };
  struct Case {
    const char* name;
    End end;
    size_t placed;
    uint32_t failure;
  };
  const Case cases[] = {
      {"complete", End::kComplete, 3, kErrOk},
      {"second target a folder", End::kSecondTargetBecomesAFolder, 1, kErrAccessDenied},
      {"drop", End::kDrop, 0, kErrOk},
  };
  const char* const names[] = {"a.txt", "b.txt", "c.txt"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : names) {
      const std::string target = std::string("T:\\") + name;
      ::RemoveDirectoryA(target.c_str());
      ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(target.c_str());
      drives_.WriteFile(std::string("S:\\") + name, std::string("new ") + name);
    }
    ASSERT_EQ(Sys().SetAttributes("S:\\c.txt", kAttrReadOnly), kErrOk);
    drives_.WriteFile("T:\\a.txt", "old a");
    for (const char* name : names) {
      const Platform::StageResult staged =
          Sys().StageCopy(std::string("S:\\") + name, std::string("T:\\") + name);
      ASSERT_EQ(staged.error, kErrOk) << name;
      ASSERT_TRUE(staged.staged) << name;
    }
    // Written and held, not yet in place.
    const std::vector<std::string> temporaries = TemporaryNames("T:\\");
    ASSERT_EQ(temporaries.size(), 3u);
    EXPECT_EQ(drives_.ReadFile("T:\\a.txt"), "old a");
    EXPECT_FALSE(drives_.Exists("T:\\b.txt"));
    const HANDLE sweeper = ::CreateFileA(("T:\\" + temporaries[0]).c_str(), DELETE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(sweeper, INVALID_HANDLE_VALUE) << "a staged copy is not held";
    if (sweeper != INVALID_HANDLE_VALUE) ::CloseHandle(sweeper);

    size_t placed = 0;
    uint32_t failure = kErrOk;
    if (c.end == End::kDrop) {
      Sys().DropStagedCopies();
    } else {
      if (c.end == End::kSecondTargetBecomesAFolder) {
        ASSERT_TRUE(::CreateDirectoryA("T:\\b.txt", nullptr));
      }
      placed = Sys().CompleteStagedCopies(&failure);
    }
    EXPECT_EQ(placed, c.placed);
    EXPECT_EQ(failure, c.failure);
    EXPECT_EQ(drives_.ReadFile("T:\\a.txt"), c.placed > 0 ? "new a.txt" : "old a");
    if (c.placed == 3) {
      EXPECT_EQ(drives_.ReadFile("T:\\b.txt"), "new b.txt");
      EXPECT_EQ(drives_.ReadFile("T:\\c.txt"), "new c.txt");
      uint32_t attributes = 0;
      ASSERT_EQ(Sys().GetAttributes("T:\\c.txt", &attributes), kErrOk);
      EXPECT_NE(attributes & kAttrReadOnly, 0u);
    } else {
      EXPECT_FALSE(drives_.Exists("T:\\c.txt"));
    }
    EXPECT_TRUE(TemporaryNames("T:\\").empty());
    // Nothing is left staged: completing again puts nothing in place.
    EXPECT_EQ(Sys().CompleteStagedCopies(&failure), 0u);
    EXPECT_EQ(failure, kErrOk);
    ASSERT_EQ(Sys().SetAttributes("S:\\c.txt", 0), kErrOk);
  }
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
