// The POSIX back end where it has no Windows counterpart to conform to:
// case-insensitive lookup and its cost, names Windows cannot hold, symbolic
// links, special files, UTF-8 names, the crash-safe copy and its temporary
// files, 64-bit sizes and the local-time offset.
#ifndef _WIN32

#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/conformance_support.h"
#include "platform/fault_injection.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/system_calls.h"
#include "testing/test_drives.h"
#include "testing/test_volumes.h"

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

namespace tolvex::posix {
namespace {

using conformance::FoundEntry;
using conformance::FoundNames;

constexpr uint32_t kAllVisible = kAttrHidden | kAttrSystem | kAttrDirectory | kAttrReadOnly;

PosixPlatform& Posix() { return static_cast<PosixPlatform&>(DefaultPlatform()); }

// Native names in a folder, sorted ("." and ".." left out).
std::vector<std::string> NativeNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The text of a file named by its native path (outside the drives too);
// "(none)" when there is no such file.
std::string NativeFileText(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "(none)";
  char text[64] = {};
  const size_t read = std::fread(text, 1, sizeof text, file);
  std::fclose(file);
  return std::string(text, read);
}

bool HasTemporaryFile(const std::string& folder) {
  for (const std::string& name : NativeNames(folder)) {
    if (IsTemporaryName(name)) return true;
  }
  return false;
}

class PosixPlatformTest : public testing::Test {
 protected:
  void SetUp() override {
    // Fixtures are made and looked into at once; trust fresh listings.
    Posix().SetRacyWindowForTesting(0);
  }
  void TearDown() override {
    Posix().SetRacyWindowForTesting(NameIndex::kRacyWindowNs);
    SetNewerCallsMissingForTesting(false);
  }
  std::string Native(const std::string& path) const { return drives_.Native(path); }
  void ExpectStagedCopiesTakeTheirPlaceTogetherInOrderOrNotAtAll();
  void Symlink(const std::string& target, const std::string& link) const {
    ASSERT_EQ(symlink(target.c_str(), Native(link).c_str()), 0) << link;
  }

  TestDrives drives_;
};

// ---------------------------------------------------------------------------
// Names without regard to case, and what a miss costs.

TEST_F(PosixPlatformTest, ExactSpellingWinsOverOtherCaseVariants) {
  drives_.WriteFile("S:\\d\\a.txt", "lower");
  drives_.WriteFile("S:\\d\\A.txt", "upper");
  EXPECT_EQ(FoundEntry("S:\\d\\a.txt").name, "a.txt");
  EXPECT_EQ(FoundEntry("S:\\d\\A.txt").name, "A.txt");
  // Neither spelling given: the smallest in byte order, every time.
  EXPECT_EQ(FoundEntry("S:\\d\\a.TXT").name, "A.txt");
  NativeEntry entry;
  ASSERT_EQ(Posix().Resolve("S:\\D\\A.TXT", true, &entry), kErrOk);
  EXPECT_EQ(entry.path, Native("S:\\d\\A.txt"));
}

TEST_F(PosixPlatformTest, MissesAreAnsweredFromTheListingWithoutReadingTheFolder) {
  drives_.WriteFile("S:\\big\\Present.txt", "p");
  for (int i = 0; i < 200; ++i) drives_.WriteFile("S:\\big\\file" + std::to_string(i), "x");
  ASSERT_EQ(FoundNames("S:\\big\\*", 0).size(), 201u);  // the scan reads the folder once
  const uint64_t before = Posix().FolderReadsForTesting();
  uint32_t attributes = 0;
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(Sys().GetAttributes("S:\\big\\Missing" + std::to_string(i) + ".txt", &attributes),
              kErrFileNotFound);
    EXPECT_EQ(Sys().GetAttributes("S:\\big\\PRESENT.TXT", &attributes), kErrOk);
  }
  EXPECT_EQ(Posix().FolderReadsForTesting(), before);
}

TEST_F(PosixPlatformTest, WithoutAListingTheFolderIsReadOnceForManyMisses) {
  drives_.WriteFile("S:\\cold\\x.txt", "x");
  const uint64_t before = Posix().FolderReadsForTesting();
  std::vector<FindEntry> entries;
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(Sys().FindEntries("S:\\cold\\Other" + std::to_string(i), 0, &entries, nullptr),
              kErrFileNotFound);
  }
  EXPECT_EQ(Posix().FolderReadsForTesting(), before + 1);
}

TEST_F(PosixPlatformTest, AChangedFolderIsReadAgain) {
  drives_.WriteFile("S:\\d\\old.txt", "o");
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("S:\\d\\NEW.TXT", &attributes), kErrFileNotFound);
  // Another program adds the file.
  drives_.WriteFile("S:\\d\\new.txt", "n");
  EXPECT_EQ(Sys().GetAttributes("S:\\d\\NEW.TXT", &attributes), kErrOk);
  ASSERT_EQ(unlink(Native("S:\\d\\new.txt").c_str()), 0);
  EXPECT_EQ(Sys().GetAttributes("S:\\d\\NEW.TXT", &attributes), kErrFileNotFound);
}

TEST_F(PosixPlatformTest, OwnChangesKeepTheListingCurrent) {
  drives_.WriteFile("S:\\src\\f.txt", "f");
  drives_.MakeDirs("S:\\dst");
  ASSERT_EQ(FoundNames("S:\\dst\\*", kAllVisible).size(), 2u);
  const uint64_t before = Posix().FolderReadsForTesting();
  for (int i = 0; i < 40; ++i) {
    // Each target is a miss first (a new file), then a copy into the folder.
    ASSERT_EQ(Sys().CopyOver("S:\\src\\f.txt", "S:\\dst\\Copy" + std::to_string(i) + ".txt"),
              kErrOk);
  }
  ASSERT_EQ(Sys().MoveEntry("S:\\dst\\Copy0.txt", "S:\\dst\\renamed.txt"), kErrOk);
  ASSERT_EQ(Sys().RemoveFile("S:\\dst\\COPY1.TXT"), kErrOk);
  ASSERT_EQ(Sys().MakeFolder("S:\\dst\\Sub"), kErrOk);
  EXPECT_EQ(Posix().FolderReadsForTesting(), before);
  // And the listing tells the truth about every change.
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("S:\\dst\\COPY39.TXT", &attributes), kErrOk);
  EXPECT_EQ(Sys().GetAttributes("S:\\dst\\RENAMED.TXT", &attributes), kErrOk);
  EXPECT_EQ(Sys().GetAttributes("S:\\dst\\COPY0.TXT", &attributes), kErrFileNotFound);
  EXPECT_EQ(Sys().GetAttributes("S:\\dst\\COPY1.TXT", &attributes), kErrFileNotFound);
  EXPECT_EQ(Sys().GetAttributes("S:\\dst\\SUB", &attributes), kErrOk);
}

TEST_F(PosixPlatformTest, CopyOntoAnotherSpellingReplacesTheStoredFile) {
  drives_.WriteFile("S:\\d\\src.txt", "new content");
  drives_.WriteFile("S:\\d\\Report.TXT", "old");
  ASSERT_EQ(Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\report.txt"), kErrOk);
  EXPECT_EQ(NativeNames(Native("S:\\d")), (std::vector<std::string>{"Report.TXT", "src.txt"}));
  EXPECT_EQ(drives_.ReadFile("S:\\d\\Report.TXT"), "new content");
}

TEST_F(PosixPlatformTest, FoldersOnTheWayAreFoundInAnyCase) {
  drives_.WriteFile("S:\\Data\\Inner\\file.txt", "f");
  ASSERT_EQ(Sys().CopyOver("S:\\DATA\\inner\\FILE.TXT", "S:\\data\\INNER\\copy.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("S:\\Data\\Inner\\copy.txt"), "f");
  EXPECT_EQ(FoundNames("S:\\DATA\\INNER\\*.TXT", 0),
            (std::vector<std::string>{"copy.txt", "file.txt"}));
}

// A path found as spelled is answered by one lstat of the whole path; any
// other spelling takes the per-name lookup. Both must land on the same
// entry, and a miss must give the codes the per-name walk gives.
TEST_F(PosixPlatformTest, ResolvingAsSpelledAndInOtherCaseAgree) {
  drives_.WriteFile("S:\\Data\\Sub\\file.txt", "f");
  drives_.MakeDirs("S:\\Data\\Empty");
  Symlink(Native("S:\\Data\\Sub"), "S:\\Data\\Link");
  struct Case {
    const char* path;
    bool must_exist;
    uint32_t error;
    const char* native;  // drive form of the expected native path
    bool exists;
    bool as_spelled;
  };
  const Case cases[] = {
      {"S:\\Data\\Sub\\file.txt", true, kErrOk, "S:\\Data\\Sub\\file.txt", true, true},
      {"S:\\DATA\\sub\\FILE.TXT", true, kErrOk, "S:\\Data\\Sub\\file.txt", true, false},
      {"S:\\Data\\Sub\\FILE.txt", true, kErrOk, "S:\\Data\\Sub\\file.txt", true, false},
      {"S:\\Data\\Sub", true, kErrOk, "S:\\Data\\Sub", true, true},
      {"S:\\data\\SUB", true, kErrOk, "S:\\Data\\Sub", true, false},
      {"S:\\Data\\Sub\\", true, kErrOk, "S:\\Data\\Sub", true, true},
      {"S:\\Data\\Link\\file.txt", true, kErrOk, "S:\\Data\\Link\\file.txt", true, true},
      {"S:\\Data\\link\\File.txt", true, kErrOk, "S:\\Data\\Link\\file.txt", true, false},
      {"S:\\Data\\Sub\\missing.txt", false, kErrOk, "S:\\Data\\Sub\\missing.txt", false, false},
      {"S:\\data\\sub\\Missing.txt", false, kErrOk, "S:\\Data\\Sub\\Missing.txt", false, false},
      {"S:\\Data\\Sub\\missing.txt", true, kErrFileNotFound, "", false, false},
      {"S:\\Data\\Nope\\file.txt", false, kErrPathNotFound, "", false, false},
      {"S:\\Data\\Sub\\file.txt\\x", false, kErrPathNotFound, "", false, false},
      {"S:\\Data\\Empty\\x\\y", true, kErrPathNotFound, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    NativeEntry entry;
    ASSERT_EQ(Posix().Resolve(c.path, c.must_exist, &entry), c.error);
    if (c.error != kErrOk) continue;
    EXPECT_EQ(entry.path, Native(c.native));
    EXPECT_EQ(entry.exists, c.exists);
    EXPECT_EQ(entry.found_as_spelled, c.as_spelled);
    EXPECT_FALSE(entry.is_root);
    const std::string native = Native(c.native);
    EXPECT_EQ(entry.folder, native.substr(0, native.rfind('/')));
    EXPECT_EQ(entry.name, native.substr(native.rfind('/') + 1));
    // The last name as given: after the last backslash that ends nothing.
    std::string requested = c.path;
    if (requested.back() == '\\') requested.pop_back();
    EXPECT_EQ(entry.requested_name, requested.substr(requested.rfind('\\') + 1));
  }
  // The same folders through enumeration, in either spelling.
  EXPECT_EQ(FoundNames("S:\\Data\\Sub\\*", kAllVisible),
            (std::vector<std::string>{".", "..", "file.txt"}));
  EXPECT_EQ(FoundNames("S:\\DATA\\SUB\\*", kAllVisible),
            (std::vector<std::string>{".", "..", "file.txt"}));
  EXPECT_EQ(FoundNames("S:\\Data\\Link\\*.txt", 0), (std::vector<std::string>{"file.txt"}));
  std::vector<FindEntry> entries;
  EXPECT_EQ(Sys().FindEntries("S:\\Data\\Sub\\", 0, &entries, nullptr), kErrFileNotFound);
  EXPECT_EQ(Sys().FindEntries("S:\\Data\\Nope\\", 0, &entries, nullptr), kErrPathNotFound);
  EXPECT_EQ(Sys().FindEntries("S:\\Data\\Sub\\file.txt\\*", 0, &entries, nullptr),
            kErrPathNotFound);
  EXPECT_EQ(Sys().FindEntries("S:\\Data\\Nope\\*", 0, &entries, nullptr), kErrPathNotFound);
}

// ---------------------------------------------------------------------------
// What enumeration yields, hides and reports.

// On a volume that holds only Windows names (a FAT disk) such names are
// reported, never yielded.
TEST_F(PosixPlatformTest, NamesWindowsCannotHoldAreReportedNotYielded) {
  const ScopedTestVolumes fat("windows-names=" + Native("S:\\u"));
  drives_.WriteFile("S:\\u\\ok.txt", "o");
  drives_.WriteFile("S:\\u\\a:b.txt", "c");
  drives_.WriteFile("S:\\u\\what?.txt", "q");
  drives_.WriteFile("S:\\u\\tab\there.txt", "t");
  drives_.WriteFile("S:\\u\\pipe|.doc", "p");
  drives_.MakeDirs("S:\\u\\dir*star");
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
  ASSERT_EQ(Sys().FindEntries("S:\\u\\*.txt", 0, &entries, &unusable), kErrOk);
  EXPECT_EQ(conformance::SortedNames(entries), (std::vector<std::string>{"ok.txt"}));
  EXPECT_EQ(conformance::Sorted(unusable),
            conformance::Sorted({Native("S:\\u\\a:b.txt"), Native("S:\\u\\what?.txt"),
                                 Native("S:\\u\\tab\there.txt")}));
  // A folder the mask leaves out is not reported; with the mask it is.
  unusable.clear();
  ASSERT_EQ(Sys().FindEntries("S:\\u\\dir*", 0, &entries, &unusable), kErrFileNotFound);
  EXPECT_TRUE(unusable.empty());
  ASSERT_EQ(Sys().FindEntries("S:\\u\\dir*", kAttrDirectory, &entries, &unusable), kErrOk);
  EXPECT_EQ(unusable, (std::vector<std::string>{Native("S:\\u\\dir*star")}));
}

// Windows strips a final dot or space ("trail." is "trail" there): such a
// name is unusable, reported instead of yielded, and no path reaches it, so
// nothing is ever read or written under another file's name.
TEST_F(PosixPlatformTest, NamesEndingInDotsOrSpacesAreUnusable) {
  const ScopedTestVolumes fat("windows-names=" + Native("S:\\t"));
  drives_.WriteFile("S:\\t\\trail.", "dot");
  drives_.WriteFile("S:\\t\\trail", "plain");
  drives_.WriteFile("S:\\t\\space ", "space");
  drives_.MakeDirs("S:\\t\\dir.\\");
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
  ASSERT_EQ(Sys().FindEntries("S:\\t\\*", kAttrDirectory, &entries, &unusable), kErrOk);
  EXPECT_EQ(conformance::SortedNames(entries), (std::vector<std::string>{".", "..", "trail"}));
  EXPECT_EQ(conformance::Sorted(unusable),
            conformance::Sorted({Native("S:\\t\\dir."), Native("S:\\t\\space "),
                                 Native("S:\\t\\trail.")}));
  EXPECT_EQ(Sys().CopyOver("S:\\t\\trail.", "S:\\t\\copy"), kErrInvalidName);
  EXPECT_EQ(Sys().CopyOver("S:\\t\\trail", "S:\\t\\space "), kErrInvalidName);
  EXPECT_EQ(Sys().RemoveFile("S:\\t\\space "), kErrInvalidName);
  EXPECT_EQ(Sys().MakeFolder("S:\\t\\dir.\\sub"), kErrInvalidName);
  EXPECT_FALSE(drives_.Exists("S:\\t\\copy"));
  EXPECT_EQ(drives_.ReadFile("S:\\t\\trail."), "dot");
  EXPECT_EQ(drives_.ReadFile("S:\\t\\space "), "space");
  // The last name of a pattern is stripped first, as FindFirstFileA does.
  EXPECT_EQ(FoundNames("S:\\t\\trail.", 0), (std::vector<std::string>{"trail"}));
}

// Where the file system holds them, names Windows cannot hold are yielded
// in their mapped form (U+F000 + the code of each reserved character, of a
// final dot or space), and every call that names the mapped form reaches
// the file under its real name.
TEST_F(PosixPlatformTest, NamesWindowsCannotHoldTravelMappedAndStayWholeOnDisk) {
  const std::string colon = "a\xEF\x80\xBA" "b.txt";   // a:b.txt
  const std::string dot = "trail\xEF\x80\xAE";          // trail.
  const std::string question = "q\xEF\x80\xBF";         // q?
  drives_.WriteFile("S:\\m\\a:b.txt", "colon");
  drives_.WriteFile("S:\\m\\trail.", "dot");
  drives_.WriteFile("S:\\m\\trail", "plain");
  drives_.WriteFile("S:\\m\\q?\\inner.txt", "inner");
  drives_.WriteFile("S:\\m\\ambiguous\xEF\x80\xBA.txt", "left alone");
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
  ASSERT_EQ(Sys().FindEntries("S:\\m\\*", kAttrDirectory, &entries, &unusable), kErrOk);
  EXPECT_EQ(conformance::SortedNames(entries),
            conformance::Sorted({".", "..", colon, question, "trail", dot}));
  EXPECT_EQ(unusable, (std::vector<std::string>{Native("S:\\m\\ambiguous\xEF\x80\xBA.txt")}));
  // Literal names, wildcards over the mapped form, folders on the way.
  EXPECT_EQ(FoundNames("S:\\m\\" + colon, 0), (std::vector<std::string>{colon}));
  EXPECT_EQ(FoundNames("S:\\m\\A\xEF\x80\xBA*", 0), (std::vector<std::string>{colon}));
  EXPECT_EQ(FoundNames("S:\\m\\" + question + "\\*.txt", 0), (std::vector<std::string>{"inner.txt"}));
  // Copies, moves and folders under mapped names land under the real ones.
  ASSERT_EQ(Sys().MakeFolder("S:\\m\\out\xEF\x80\xA0"), kErrOk);  // "out "
  ASSERT_EQ(Sys().CopyOver("S:\\m\\" + colon, "S:\\m\\out\xEF\x80\xA0\\" + colon), kErrOk);
  ASSERT_EQ(Sys().CopyOver("S:\\m\\" + dot, "S:\\m\\out\xEF\x80\xA0\\" + dot), kErrOk);
  ASSERT_EQ(Sys().MoveEntry("S:\\m\\" + question + "\\inner.txt", "S:\\m\\" + question + "\\x|y"),
            kErrInvalidName);  // a raw reserved character is no engine name
  ASSERT_EQ(Sys().MoveEntry("S:\\m\\" + question + "\\inner.txt",
                            "S:\\m\\" + question + "\\x\xEF\x81\xBCy"), kErrOk);  // x|y
  EXPECT_EQ(NativeNames(Native("S:\\m") + "/out "), (std::vector<std::string>{"a:b.txt", "trail."}));
  EXPECT_EQ(drives_.ReadFile("S:\\m\\out \\trail."), "dot");
  EXPECT_EQ(NativeNames(Native("S:\\m") + "/q?"), (std::vector<std::string>{"x|y"}));
  EXPECT_EQ(drives_.ReadFile("S:\\m\\trail"), "plain");  // "trail." never reached "trail"
  // Other spellings of a mapped name are none: one engine name, one file.
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("S:\\m\\trail\xEF\x80\xAE" "x", &attributes), kErrInvalidName);
  EXPECT_EQ(Sys().GetAttributes("S:\\m\\ambiguous\xEF\x80\xBA.txt", &attributes), kErrFileNotFound);
  ASSERT_EQ(Sys().RemoveFile("S:\\m\\" + colon), kErrOk);
  EXPECT_FALSE(drives_.Exists("S:\\m\\a:b.txt"));
}

// A folder that holds only Windows names (a FAT disk) gets no mapped name:
// a copy there fails with 123 and leaves nothing, where vfat would have
// written "trail." as "trail".
TEST_F(PosixPlatformTest, AFolderThatHoldsOnlyWindowsNamesRefusesMappedNames) {
  drives_.WriteFile("S:\\m\\trail.", "dot");
  drives_.WriteFile("T:\\fat\\trail", "plain");
  const ScopedTestVolumes fat("windows-names=" + Native("T:\\fat"));
  FolderNameRules rules{true, true};
  ASSERT_EQ(Sys().GetFolderNameRules("T:\\fat\\", &rules), kErrOk);
  EXPECT_FALSE(rules.holds_any_name);
  EXPECT_FALSE(rules.tells_case_apart);
  const std::string dot = "trail\xEF\x80\xAE";
  EXPECT_EQ(Sys().CopyOver("S:\\m\\" + dot, "T:\\fat\\" + dot), kErrInvalidName);
  EXPECT_EQ(Sys().MakeFolder("T:\\fat\\d\xEF\x80\xBA"), kErrInvalidName);
  EXPECT_EQ(drives_.ReadFile("T:\\fat\\trail"), "plain");
  EXPECT_EQ(NativeNames(Native("T:\\fat")), (std::vector<std::string>{"trail"}));
}

// Case and names by file system: the test folders lie on a file system
// that tells case apart (ext4, tmpfs, xfs, btrfs, overlayfs here); the
// switch makes one ignore case; a folder with the casefold attribute does
// too, where the file system lets one be made.
TEST_F(PosixPlatformTest, FolderNameRulesFollowTheFileSystemAndTheSwitch) {
  drives_.MakeDirs("S:\\c\\sub");
  drives_.MakeDirs("S:\\p");
  FolderNameRules rules;
  ASSERT_EQ(Sys().GetFolderNameRules("S:\\c\\sub", &rules), kErrOk);
  if (!rules.tells_case_apart) GTEST_SKIP() << "the test folders lie on a file system that ignores case";
  EXPECT_TRUE(rules.holds_any_name);
  {
    const ScopedTestVolumes caseless("caseless=" + Native("S:\\c"));
    ASSERT_EQ(Sys().GetFolderNameRules("S:\\c\\sub", &rules), kErrOk);
    EXPECT_FALSE(rules.tells_case_apart);
    EXPECT_TRUE(rules.holds_any_name);
    ASSERT_EQ(Sys().GetFolderNameRules("S:\\p", &rules), kErrOk);
    EXPECT_TRUE(rules.tells_case_apart);  // "S:\p" is not below "S:\c"
  }
  EXPECT_EQ(Sys().GetFolderNameRules("S:\\nope\\", &rules), kErrFileNotFound);
  EXPECT_EQ(Sys().GetFolderNameRules("S:\\nope\\deeper", &rules), kErrPathNotFound);
  // The casefold attribute: ext4 sets it only on an empty folder of a file
  // system made with the casefold feature, and not every one is.
  const int fd = open(Native("S:\\p").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  int flags = 0;
  const bool casefolded = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                          (flags |= FS_CASEFOLD_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  close(fd);
  if (!casefolded) GTEST_SKIP() << "no casefold attribute on this file system";
  ASSERT_EQ(Sys().GetFolderNameRules("S:\\p", &rules), kErrOk);
  EXPECT_FALSE(rules.tells_case_apart);
}

// A link to a file is a link of its own: its size is the length of its
// text, its stamp its own time; a copy of it is the same link, and its
// erasure leaves the file it points to.
TEST_F(PosixPlatformTest, LinkToAFileIsALinkOfItsOwn) {
  drives_.WriteFile("T:\\real.txt", "real content", PackStamp(LocalTime{2015, 5, 5, 5, 5, 4, 0}));
  drives_.MakeDirs("S:\\l");
  const std::string text = Native("T:\\real.txt");
  Symlink(text, "S:\\l\\link.txt");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1'262'304'000, 0}};  // 2010-01-01 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, Native("S:\\l\\link.txt").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  const FindEntry entry = FoundEntry("S:\\l\\link.txt");
  EXPECT_EQ(entry.name, "link.txt");
  EXPECT_EQ(entry.size, text.size());
  EXPECT_NE(entry.stamp, PackStamp(LocalTime{2015, 5, 5, 5, 5, 4, 0}));
  EXPECT_EQ(entry.attributes & (kAttrDirectory | kAttrSymbolicLink), kAttrSymbolicLink);
  ASSERT_EQ(Sys().CopyOver("S:\\l\\link.txt", "S:\\l\\copy.txt"), kErrOk);
  struct stat st;
  ASSERT_EQ(lstat(Native("S:\\l\\copy.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(st.st_mtim.tv_sec, 1'262'304'000);
  EXPECT_EQ(FoundEntry("S:\\l\\copy.txt").stamp, entry.stamp);
  ASSERT_EQ(Sys().RemoveFile("S:\\l\\link.txt"), kErrOk);
  EXPECT_FALSE(drives_.Exists("S:\\l\\link.txt"));
  EXPECT_EQ(drives_.ReadFile("T:\\real.txt"), "real content");
}

// Every link is listed as itself, a link to a folder and a dangling one
// too, which no scan enters (no loop, no way out of the drive); special
// files are devices.
TEST_F(PosixPlatformTest, LinksAreListedAsThemselvesSpecialFilesAsDevices) {
  drives_.WriteFile("T:\\outside\\secret.txt", "s");
  drives_.WriteFile("S:\\l\\plain.txt", "p");
  Symlink(Native("T:\\outside"), "S:\\l\\escape");
  Symlink(".", "S:\\l\\loop");
  Symlink("../../..", "S:\\l\\up");  // above the drive's root
  Symlink("nowhere.txt", "S:\\l\\dangling.txt");
  ASSERT_EQ(mkfifo(Native("S:\\l\\pipe").c_str(), 0600), 0);
  // Links are no folders: the mask lets them through without the directory bit.
  const std::vector<std::string> all = {"dangling.txt", "escape", "loop", "pipe", "plain.txt", "up"};
  EXPECT_EQ(FoundNames("S:\\l\\*", 0), all);
  std::vector<std::string> with_dots = {".", ".."};
  with_dots.insert(with_dots.end(), all.begin(), all.end());
  EXPECT_EQ(FoundNames("S:\\l\\*", 0xFF), with_dots);
  // A FIFO is a device to the listing: no size, no other bit.
  EXPECT_EQ(FoundEntry("S:\\l\\pipe").attributes, kAttrDevice);
  EXPECT_EQ(FoundEntry("S:\\l\\pipe").size, 0u);
  for (const char* link : {"S:\\l\\ESCAPE", "S:\\l\\loop", "S:\\l\\up"}) {
    const FindEntry entry = FoundEntry(link);
    EXPECT_EQ(entry.attributes & (kAttrDirectory | kAttrReparsePoint | kAttrSymbolicLink |
                                  kAttrLinkToFolder),
              kAttrSymbolicLink | kAttrLinkToFolder)
        << link;
  }
  EXPECT_EQ(FoundEntry("S:\\l\\dangling.txt").attributes & (kAttrSymbolicLink | kAttrLinkDangling),
            kAttrSymbolicLink | kAttrLinkDangling);
  EXPECT_EQ(FoundEntry("S:\\l\\dangling.txt").size, std::string("nowhere.txt").size());
  EXPECT_EQ(FoundEntry("S:\\l\\ESCAPE").name, "escape");
  EXPECT_EQ(FoundEntry("S:\\l\\plain.txt").attributes & (kAttrReparsePoint | kAttrSymbolicLink), 0u);
  // A FIFO is refused at once instead of waiting for a writer.
  EXPECT_EQ(Sys().CopyOver("S:\\l\\pipe", "S:\\l\\copy"), kErrAccessDenied);
  // A folder link named outright shows its folder's attributes, but nothing
  // reaches through it out of the drive: no listing, no copy, no erase.
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\l\\escape", &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrDirectory, 0u);
  uint32_t code = 0;
  FoundNames("S:\\l\\escape\\*", 0xFF, &code);
  EXPECT_EQ(code, kErrAccessDenied);
  FoundNames("S:\\l\\up\\*", 0xFF, &code);
  EXPECT_EQ(code, kErrAccessDenied);
  EXPECT_EQ(Sys().CopyOver("S:\\l\\plain.txt", "S:\\l\\escape\\plain.txt"), kErrAccessDenied);
  EXPECT_EQ(Sys().CopyOver("S:\\l\\escape\\secret.txt", "S:\\l\\copy.txt"), kErrAccessDenied);
  EXPECT_EQ(Sys().RemoveFile("S:\\l\\escape\\secret.txt"), kErrAccessDenied);
  EXPECT_EQ(Sys().MakeFolder("S:\\l\\up\\made"), kErrAccessDenied);
  EXPECT_EQ(drives_.ReadFile("T:\\outside\\secret.txt"), "s");
  EXPECT_FALSE(drives_.Exists("T:\\outside\\plain.txt"));
  EXPECT_FALSE(drives_.Exists("S:\\l\\copy.txt"));
  // Inside the drive a link leads where it points.
  EXPECT_EQ(FoundNames("S:\\l\\loop\\plain.txt", 0), (std::vector<std::string>{"plain.txt"}));
}

TEST_F(PosixPlatformTest, DotNamesAreHiddenWhateverSetAttributesSays) {
  drives_.WriteFile("S:\\.profile", "p");
  drives_.WriteFile("S:\\shown.txt", "s");
  ASSERT_EQ(Sys().SetAttributes("S:\\.profile", 0), kErrOk);
  ASSERT_EQ(Sys().SetAttributes("S:\\shown.txt", kAttrHidden), kErrOk);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\.profile", &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrHidden, 0u);
  ASSERT_EQ(Sys().GetAttributes("S:\\shown.txt", &attributes), kErrOk);
  EXPECT_EQ(attributes & kAttrHidden, 0u);
}

TEST_F(PosixPlatformTest, UsesTheOwnerWriteBitAsReadOnlyEvenForRoot) {
  drives_.WriteFile("S:\\ro.txt", "r");
  ASSERT_EQ(chmod(Native("S:\\ro.txt").c_str(), 0444), 0);
  EXPECT_EQ(Sys().RemoveFile("S:\\ro.txt"), kErrAccessDenied);
  ASSERT_EQ(Sys().SetAttributes("S:\\ro.txt", 0), kErrOk);
  struct stat st;
  ASSERT_EQ(stat(Native("S:\\ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // owner write back, the rest as it was
  ASSERT_EQ(Sys().SetAttributes("S:\\ro.txt", kAttrReadOnly | kAttrArchive), kErrOk);
  ASSERT_EQ(stat(Native("S:\\ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);  // every write bit gone
}

TEST_F(PosixPlatformTest, HiddenTargetsAreReplacedUnlikeReadOnlyOnes) {
  drives_.WriteFile("S:\\src\\.bashrc", "new");
  drives_.WriteFile("S:\\dst\\.bashrc", "old");
  EXPECT_EQ(Sys().CopyOver("S:\\src\\.bashrc", "S:\\dst\\.bashrc"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("S:\\dst\\.bashrc"), "new");
}

TEST_F(PosixPlatformTest, Utf8NamesAreFoundCopiedAndMoved) {
  const std::string name = "Gr\xC3\xBC\xC3\x9F" "e.txt";  // Grüße.txt
  drives_.WriteFile("S:\\u\\" + name, "hallo");
  drives_.WriteFile("S:\\u\\\xE6\x97\xA5\xE6\x9C\xAC.txt", "nihon");  // 日本.txt
  // Five '?' take five characters (seven bytes), or fewer before the dot.
  EXPECT_EQ(FoundNames("S:\\u\\?????.txt", 0),
            conformance::Sorted({name, "\xE6\x97\xA5\xE6\x9C\xAC.txt"}));
  EXPECT_EQ(FoundNames("S:\\u\\????.txt", 0), (std::vector<std::string>{"\xE6\x97\xA5\xE6\x9C\xAC.txt"}));
  EXPECT_EQ(FoundNames("S:\\u\\??.txt", 0), (std::vector<std::string>{"\xE6\x97\xA5\xE6\x9C\xAC.txt"}));
  // ASCII letters fold, others do not.
  EXPECT_EQ(FoundEntry("S:\\u\\gR\xC3\xBC\xC3\x9F" "E.TXT").name, name);
  EXPECT_EQ(FoundEntry("S:\\u\\GR\xC3\x9C\xC3\x9F" "E.TXT").name, "");
  ASSERT_EQ(Sys().CopyOver("S:\\u\\" + name, "T:\\" + name), kErrOk);
  ASSERT_EQ(Sys().MoveEntry("T:\\" + name, "T:\\\xC3\xA9t\xC3\xA9.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("T:\\\xC3\xA9t\xC3\xA9.txt"), "hallo");
}

TEST_F(PosixPlatformTest, SizesBeyondFourGigabytesAreReportedWhole) {
  drives_.WriteFile("S:\\big.bin", "");
  const uint64_t size = (5ull << 30) + 123;  // sparse: no room needed
  ASSERT_EQ(truncate(Native("S:\\big.bin").c_str(), static_cast<off_t>(size)), 0);
  EXPECT_EQ(FoundEntry("S:\\big.bin").size, size);
}

// ---------------------------------------------------------------------------
// The crash-safe copy.

TEST_F(PosixPlatformTest, CopyFailingInTheMiddleLeavesTheTargetAndNoTemporaryFile) {
  const std::string content(1 << 20, 'n');
  drives_.WriteFile("S:\\src.bin", content);
  drives_.WriteFile("T:\\dst.bin", "old target");
  struct Case {
    CopyFaultPoint point;
    int error;
    uint32_t code;
  };
  const Case cases[] = {
      {CopyFaultPoint::kDuringData, ENOSPC, kErrDiskFull},
      {CopyFaultPoint::kDuringData, EDQUOT, kErrDiskFull},
      {CopyFaultPoint::kDuringData, EIO, 1117},
      {CopyFaultPoint::kBeforeRename, ENOSPC, kErrDiskFull},
  };
  for (const Case& c : cases) {
    InjectCopyFaultForTesting(CopyFault{c.point, 64 * 1024, c.error});
    EXPECT_EQ(Sys().CopyOver("S:\\src.bin", "T:\\dst.bin"), c.code);
    EXPECT_EQ(drives_.ReadFile("T:\\dst.bin"), "old target");
    EXPECT_EQ(NativeNames(Native("T:\\")), (std::vector<std::string>{"dst.bin"}));
    InjectCopyFaultForTesting(CopyFault{c.point, 64 * 1024, c.error});
    EXPECT_EQ(Sys().CopyOver("S:\\src.bin", "T:\\fresh.bin"), c.code);
    EXPECT_FALSE(drives_.Exists("T:\\fresh.bin"));
    EXPECT_FALSE(HasTemporaryFile(Native("T:\\")));
  }
  // The fault strikes once; the next copy goes through.
  ASSERT_EQ(Sys().CopyOver("S:\\src.bin", "T:\\dst.bin"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("T:\\dst.bin"), content);
  EXPECT_FALSE(HasTemporaryFile(Native("T:\\")));
}

// Staged copies are written and held under temporary names, their targets
// as they were until the batch is completed. Completing puts them in place
// in the order staged; a failure keeps the ones before it, leaves its own
// target and every later one as they were, and nothing temporary behind.
// The same with each copy synced on its own, as where syncfs cannot report
// a failed write-back (an older kernel).
// Copies and links keep the folders they read from and write into open
// from one file to the next. A kept folder serves only while the path
// still leads to it inside its drive: one moved out of the drive with a
// link to it in its place is refused as a fresh open refuses it, and one
// moved away with a new folder in its place gives way to the new one.
TEST_F(PosixPlatformTest, AFolderKeptOpenServesOnlyWhileItsPathLeadsToIt) {
  enum class Call { kCopyOver, kStageCopy, kLinkOver };
  enum class Swap { kTargetLinkedOut, kSourceLinkedOut, kTargetReplaced };
  struct Case {
    const char* name;
    Call call;
    Swap swap;
    bool existing_target;  // the second file's target is there already
  };
  const Case cases[] = {
      {"copy, target folder moved out", Call::kCopyOver, Swap::kTargetLinkedOut, false},
      {"copy over a file, target folder moved out", Call::kCopyOver, Swap::kTargetLinkedOut, true},
      {"copy, source folder moved out", Call::kCopyOver, Swap::kSourceLinkedOut, false},
      {"staged copy, target folder moved out", Call::kStageCopy, Swap::kTargetLinkedOut, false},
      {"staged copy over a file, target folder moved out", Call::kStageCopy,
       Swap::kTargetLinkedOut, true},
      {"link, target folder moved out", Call::kLinkOver, Swap::kTargetLinkedOut, false},
      {"link over a file, target folder moved out", Call::kLinkOver, Swap::kTargetLinkedOut, true},
      {"link, shared folder moved out", Call::kLinkOver, Swap::kSourceLinkedOut, false},
      {"copy, target folder replaced", Call::kCopyOver, Swap::kTargetReplaced, false},
      {"copy over a file, target folder replaced", Call::kCopyOver, Swap::kTargetReplaced, true},
      {"link over a file, target folder replaced", Call::kLinkOver, Swap::kTargetReplaced, true},
  };
  const auto described = [this](const std::string& path) {
    Platform::LinkedFile file;
    file.size = drives_.ReadFile(path).size();
    EXPECT_EQ(Sys().GetLastWriteStamp(path, &file.stamp), kErrOk);
    return file;
  };
  const auto carry_out = [&](Call call, const std::string& from,
                             const std::string& to) -> uint32_t {
    switch (call) {
      case Call::kCopyOver:
        return Sys().CopyOver(from, to);
      case Call::kStageCopy: {
        const Platform::StageResult result = Sys().StageCopy(from, to);
        uint32_t failure = kErrOk;
        if (result.staged && Sys().CompleteStagedCopies(&failure) != 1) return failure;
        return result.error;
      }
      case Call::kLinkOver:
        return Sys().LinkOver(from, to, described(from));
    }
    return kErrOk;
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string src = "S:\\src" + std::to_string(round);
    const std::string dst = "T:\\dst" + std::to_string(round);
    ++round;
    drives_.WriteFile(src + "\\one.txt", "one");
    drives_.WriteFile(src + "\\two.txt", "two");
    drives_.MakeDirs(dst);
    if (c.existing_target) drives_.WriteFile(dst + "\\two.txt", "old");
    // The first file: both folders are opened, checked and kept.
    ASSERT_EQ(carry_out(c.call, src + "\\one.txt", dst + "\\one.txt"), kErrOk);
    ASSERT_EQ(drives_.ReadFile(dst + "\\one.txt"), "one");
    const std::string moved_target = Native("S:\\away" + std::to_string(round));
    const std::string moved_source = Native("T:\\away" + std::to_string(round));
    switch (c.swap) {
      case Swap::kTargetLinkedOut:  // into drive S, outside drive T
        ASSERT_EQ(rename(Native(dst).c_str(), moved_target.c_str()), 0);
        Symlink(moved_target, dst);
        break;
      case Swap::kSourceLinkedOut:  // into drive T, outside drive S
        ASSERT_EQ(rename(Native(src).c_str(), moved_source.c_str()), 0);
        Symlink(moved_source, src);
        break;
      case Swap::kTargetReplaced:
        ASSERT_EQ(rename(Native(dst).c_str(), moved_target.c_str()), 0);
        drives_.MakeDirs(dst);
        if (c.existing_target) drives_.WriteFile(dst + "\\two.txt", "new old");
        break;
    }
    const uint32_t second = carry_out(c.call, src + "\\two.txt", dst + "\\two.txt");
    if (c.swap == Swap::kTargetReplaced) {
      EXPECT_EQ(second, kErrOk);
      EXPECT_EQ(drives_.ReadFile(dst + "\\two.txt"), "two");
      // The folder moved away keeps what it held.
      EXPECT_EQ(NativeFileText(moved_target + "/two.txt"), c.existing_target ? "old" : "(none)");
    } else {
      EXPECT_EQ(second, kErrAccessDenied);
      const std::string outside_target =
          (c.swap == Swap::kTargetLinkedOut ? moved_target : Native(dst)) + "/two.txt";
      if (c.swap == Swap::kTargetLinkedOut) {
        // Nothing written outside drive T: the file there is as it was.
        EXPECT_EQ(NativeFileText(outside_target), c.existing_target ? "old" : "(none)");
        EXPECT_FALSE(HasTemporaryFile(moved_target));
      } else {
        EXPECT_FALSE(drives_.Exists(dst + "\\two.txt"));
      }
    }
    Sys().DropStagedCopies();
  }
}

TEST_F(PosixPlatformTest, StagedCopiesTakeTheirPlaceTogetherInOrderOrNotAtAll) {
  for (const bool one_by_one : {false, true}) {
    SCOPED_TRACE(one_by_one ? "each copy synced on its own" : "one sync of the file system");
    SetNewerCallsMissingForTesting(one_by_one);
    ExpectStagedCopiesTakeTheirPlaceTogetherInOrderOrNotAtAll();
    if (HasFatalFailure()) return;
  }
}

// A wrapper changes only what it overrides: installed over the back end, a
// plain wrapper and the fault-injecting one (no fault armed) stage copies
// as the back end does, so a run under a wrapper takes the copy path the
// back end ships.
TEST_F(PosixPlatformTest, WrappersStageCopiesAsThePlatformBelowThem) {
  PlatformWrapper wrapper(&DefaultPlatform());
  FaultInjectingPlatform faulty(&DefaultPlatform());
  for (Platform* above : {static_cast<Platform*>(&wrapper), static_cast<Platform*>(&faulty)}) {
    SCOPED_TRACE(above == &wrapper ? "PlatformWrapper" : "FaultInjectingPlatform");
    SetSys(above);
    ExpectStagedCopiesTakeTheirPlaceTogetherInOrderOrNotAtAll();
    SetSys(nullptr);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(faulty.calls(CallKind::kCopyOver), 12u) << "each staged copy counts as a copy";
}

void PosixPlatformTest::ExpectStagedCopiesTakeTheirPlaceTogetherInOrderOrNotAtAll() {
  enum class End { kComplete, kFaultBeforeTheFirstRename, kSecondTemporaryRemoved, kDrop };
  struct Case {
    End end;
    size_t placed;
    uint32_t failure;
  };
  const Case cases[] = {
      {End::kComplete, 3, kErrOk},
      {End::kFaultBeforeTheFirstRename, 0, kErrDiskFull},
      {End::kSecondTemporaryRemoved, 1, kErrPathNotFound},
      {End::kDrop, 0, kErrOk},
  };
  const char* const names[] = {"a.txt", "b.txt", "c.txt"};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.end));
    for (const char* name : names) {
      drives_.WriteFile(std::string("S:\\") + name, std::string("new ") + name);
      if (drives_.Exists(std::string("T:\\") + name)) {
        ASSERT_EQ(unlink(Native(std::string("T:\\") + name).c_str()), 0);
      }
    }
    drives_.WriteFile("T:\\b.txt", "old b");
    for (const char* name : names) {
      const Platform::StageResult staged =
          Sys().StageCopy(std::string("S:\\") + name, std::string("T:\\") + name);
      ASSERT_EQ(staged.error, kErrOk);
      ASSERT_TRUE(staged.staged);
    }
    // Written, held, and not yet in place.
    std::vector<std::string> temporaries;
    for (const std::string& name : NativeNames(Native("T:\\"))) {
      if (IsTemporaryName(name)) temporaries.push_back(name);
    }
    ASSERT_EQ(temporaries.size(), 3u);
    EXPECT_FALSE(drives_.Exists("T:\\a.txt"));
    EXPECT_EQ(drives_.ReadFile("T:\\b.txt"), "old b");

    size_t placed = 0;
    uint32_t failure = kErrOk;
    switch (c.end) {
      case End::kFaultBeforeTheFirstRename:
        InjectCopyFaultForTesting(CopyFault{CopyFaultPoint::kBeforeRename, 0, ENOSPC});
        placed = Sys().CompleteStagedCopies(&failure);
        break;
      case End::kSecondTemporaryRemoved:
        // The counter orders one process's temporary names as they were made.
        std::sort(temporaries.begin(), temporaries.end());
        ASSERT_EQ(unlink((Native("T:\\") + "/" + temporaries[1]).c_str()), 0);
        placed = Sys().CompleteStagedCopies(&failure);
        break;
      case End::kDrop:
        Sys().DropStagedCopies();
        break;
      case End::kComplete:
        placed = Sys().CompleteStagedCopies(&failure);
        break;
    }
    EXPECT_EQ(placed, c.placed);
    EXPECT_EQ(failure, c.failure);
    for (size_t i = 0; i < 3; ++i) {
      const std::string target = std::string("T:\\") + names[i];
      if (i < c.placed) {
        EXPECT_EQ(drives_.ReadFile(target), std::string("new ") + names[i]);
      } else if (i == 1) {
        EXPECT_EQ(drives_.ReadFile(target), "old b");
      } else {
        EXPECT_FALSE(drives_.Exists(target)) << target;
      }
    }
    EXPECT_FALSE(HasTemporaryFile(Native("T:\\")));
    // Nothing is left staged: completing again puts nothing in place.
    EXPECT_EQ(Sys().CompleteStagedCopies(&failure), 0u);
    EXPECT_EQ(failure, kErrOk);
  }
}

// The disk space a file takes, which holes do not.
uint64_t AllocatedBytes(const std::string& native) {
  struct stat st;
  return stat(native.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : 0;
}

struct SparseCase {
  const char* what;
  uint64_t size;
  std::vector<TestDrives::Piece> pieces;
  std::vector<uint64_t> holes;  // offsets that must read as zeros
};

// Sparse files beyond the ranges of 32-bit offsets and sizes; the copies
// must cost no more disk than the sources (a few blocks for many GiB).
const SparseCase kSparseCases[] = {
    {"data at both ends and across 2 and 4 GiB",
     (uint64_t{4} << 30) + 4097,
     {{0, "head"},
      {(uint64_t{1} << 31) - 3, "across 2 GiB"},
      {(uint64_t{1} << 32) - 5, "across 4 GiB"},
      {(uint64_t{4} << 30) + 4093, "tail"}},
     {4096, uint64_t{3} << 30, (uint64_t{1} << 32) + 64}},
    {"a hole at the end", (uint64_t{5} << 30) + 1, {{1 << 20, "only here"}}, {0, uint64_t{5} << 30}},
    {"nothing but a hole", uint64_t{6} << 30, {}, {0, uint64_t{1} << 32, (uint64_t{6} << 30) - 1}},
};

void ExpectSparseCopy(const TestDrives& drives, const SparseCase& c, const std::string& copy) {
  EXPECT_EQ(FoundEntry(copy).size, c.size);
  for (const TestDrives::Piece& piece : c.pieces) {
    EXPECT_EQ(drives.ReadAt(copy, piece.offset, piece.bytes.size()), piece.bytes) << piece.offset;
  }
  for (const uint64_t offset : c.holes) {
    EXPECT_EQ(drives.ReadAt(copy, offset, 1), std::string(1, '\0')) << offset;
  }
}

TEST_F(PosixPlatformTest, SparseFilesOverFourGigabytesAreCopiedWholeAndKeepTheirHoles) {
  const uint32_t stamp = PackStamp({2041, 6, 1, 12, 0, 0, 0});
  for (const SparseCase& c : kSparseCases) {
    SCOPED_TRACE(c.what);
    drives_.WriteSparseFile("S:\\image.bin", c.size, c.pieces, stamp);
    drives_.WriteFile("T:\\image.bin", "an older, smaller copy");
    ASSERT_EQ(Sys().CopyOver("S:\\image.bin", "T:\\image.bin"), kErrOk);
    ExpectSparseCopy(drives_, c, "T:\\image.bin");
    EXPECT_LE(AllocatedBytes(Native("T:\\image.bin")),
              AllocatedBytes(Native("S:\\image.bin")) + (1 << 20));
    uint32_t copied_stamp = 0;
    ASSERT_EQ(Sys().GetLastWriteStamp("T:\\image.bin", &copied_stamp), kErrOk);
    EXPECT_EQ(copied_stamp, stamp);
    EXPECT_FALSE(HasTemporaryFile(Native("T:\\")));
  }
}

// An old kernel, a file system without reflinks or hole reporting, and the
// user-mode emulator answer ENOSYS (or refuse) for the newer calls: each
// has a fallback with the same result.
TEST_F(PosixPlatformTest, WithoutTheNewerSystemCallsCopiesAndMovesGiveTheSameResults) {
  SetNewerCallsMissingForTesting(true);
  // Small enough to be written out whole by the plain fallback.
  const SparseCase c = {"holes without SEEK_DATA",
                        (uint64_t{3} << 20) + 5,
                        {{0, "head"}, {(uint64_t{1} << 20) - 2, "across 1 MiB"}, {(uint64_t{3} << 20), "tail!"}},
                        {4096, uint64_t{2} << 20}};
  drives_.WriteSparseFile("S:\\image.bin", c.size, c.pieces);
  drives_.WriteFile("T:\\image.bin", "older");
  ASSERT_EQ(Sys().CopyOver("S:\\image.bin", "T:\\image.bin"), kErrOk);
  ExpectSparseCopy(drives_, c, "T:\\image.bin");
  EXPECT_EQ(drives_.ReadFile("T:\\image.bin"), drives_.ReadFile("S:\\image.bin"));
  // Temporary names stay unique without getrandom.
  drives_.WriteFile("S:\\small.txt", "small");
  for (const char* name : {"T:\\a.txt", "T:\\b.txt", "T:\\c.txt"}) {
    ASSERT_EQ(Sys().CopyOver("S:\\small.txt", name), kErrOk);
    EXPECT_EQ(drives_.ReadFile(name), "small");
  }
  EXPECT_FALSE(HasTemporaryFile(Native("T:\\")));
  // A move still never replaces an existing name.
  EXPECT_EQ(Sys().MoveEntry("T:\\a.txt", "T:\\B.TXT"), kErrAlreadyExists);
  EXPECT_EQ(drives_.ReadFile("T:\\a.txt"), "small");
  ASSERT_EQ(Sys().MoveEntry("T:\\a.txt", "T:\\d.txt"), kErrOk);
  EXPECT_FALSE(drives_.Exists("T:\\a.txt"));
  EXPECT_EQ(drives_.ReadFile("T:\\d.txt"), "small");
}

// ---------------------------------------------------------------------------
// Time and drives.

TEST_F(PosixPlatformTest, StampsUseTheLocalOffsetInForceNow) {
  const char* saved = std::getenv("TZ");
  const std::string restore = saved ? saved : "";
  setenv("TZ", "UTC-5", 1);  // five hours east of UTC
  tzset();
  drives_.WriteFile("S:\\z.txt", "z");
  drives_.SetNativeWriteTime("S:\\z.txt", 1600000000);  // 2020-09-13 12:26:40 UTC
  uint32_t stamp = 0;
  const uint32_t read = Sys().GetLastWriteStamp("S:\\z.txt", &stamp);
  const uint32_t set = Sys().SetLastWriteStamp("S:\\z.txt", PackStamp({2020, 9, 13, 17, 0, 0, 0}));
  struct stat st;
  stat(Native("S:\\z.txt").c_str(), &st);
  if (saved) {
    setenv("TZ", restore.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  ASSERT_EQ(read, kErrOk);
  EXPECT_EQ(stamp, PackStamp({2020, 9, 13, 17, 26, 40, 0}));
  ASSERT_EQ(set, kErrOk);
  EXPECT_EQ(st.st_mtim.tv_sec, 1600000000 - 26 * 60 - 40);
}

TEST_F(PosixPlatformTest, DrivesFollowTheVariableWhenReloaded) {
  drives_.WriteFile("S:\\here.txt", "h");
  uint64_t free_bytes = 0;
  EXPECT_EQ(Sys().DiskFreeSpace("Q:\\", &free_bytes), kErrPathNotFound);
  const std::string table = std::string(std::getenv("TOLVEX_DRIVES")) + ";q=" + Native("S:\\");
  setenv("TOLVEX_DRIVES", table.c_str(), 1);
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("Q:\\here.txt", &attributes), kErrPathNotFound);  // not yet
  Sys().ReloadDrives();
  EXPECT_EQ(Sys().GetAttributes("Q:\\here.txt", &attributes), kErrOk);
  EXPECT_EQ(Sys().DiskFreeSpace("q:\\", &free_bytes), kErrOk);
  EXPECT_GT(free_bytes, 0u);
}

TEST_F(PosixPlatformTest, PathsWithoutAMappedDriveOrWithBadNamesFail) {
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("relative\\x.txt", &attributes), kErrPathNotFound);
  EXPECT_EQ(Sys().GetAttributes("\\\\server\\share\\x", &attributes), kErrPathNotFound);
  EXPECT_EQ(Sys().GetAttributes("S:\\a|b", &attributes), kErrInvalidName);
  EXPECT_EQ(Sys().GetAttributes(std::string("S:\\a\0b", 6), &attributes), kErrInvalidName);
  std::vector<FindEntry> entries;
  EXPECT_EQ(Sys().FindEntries("S:\\d*\\x", 0, &entries, nullptr), kErrInvalidName);
  EXPECT_EQ(Sys().FindEntries("S:\\a:b*", 0, &entries, nullptr), kErrInvalidName);
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
