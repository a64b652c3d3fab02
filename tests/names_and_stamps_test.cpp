// Runs on real trees where names or stamps that the file system takes for
// one (letter case beyond ASCII, exclusions spelled in another case, files
// of one name in a flat run) or for two were taken otherwise: each test
// holds that no version is lost and that a repeated run changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "include/tolvex32.h"
#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // MinGW's C++ headers define it already
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class NamesAndStamps : public RunTest {};

// --- Flat paths: orphans of one name ---------------------------------------

// Files of one name from different folders are all orphans of the one flat
// folder. Erasing them writes nothing there, so they do not clash: the
// first run erases every one of them (and its plan shows each), the next
// finds nothing to do. Held back by the name-clash rule, one was erased a
// run, each repeated run erasing one more.
TEST_F(NamesAndStamps, FlatRunErasesEveryOrphanOfANameAtOnce) {
  Write("S:\\Data\\A\\x.txt", "A", kOld);
  Write("S:\\Data\\B\\x.txt", "B", kNew);
  Write("S:\\Data\\C\\X.TXT", "C", kOld);
  Write("S:\\Data\\C\\kept.txt", "kept", kOld);
  Write("T:\\Flat\\kept.txt", "kept", kOld);
  job_.pathMode = 0;
  job_.destination = "T:\\Flat\\";
  job_.touchMode = 2;
  job_.orphanModeS2 = 2;
  ListenToChannels();

  ASSERT_EQ(Run(), 1);

  const Lines erased = {"erase S:\\Data\\A\\x.txt", "erase S:\\Data\\B\\x.txt",
                        "erase S:\\Data\\C\\X.TXT"};
  Lines planned = ChannelRecorder::Actions(Channels().plan);
  std::sort(planned.begin(), planned.end());
  EXPECT_EQ(planned, erased);
  for (const char* path : {"S:\\Data\\A\\x.txt", "S:\\Data\\B\\x.txt", "S:\\Data\\C\\X.TXT"}) {
    EXPECT_FALSE(Exists(path)) << path;
  }
  EXPECT_EQ(Read("S:\\Data\\C\\kept.txt"), "kept");

  // Nothing changed: nothing is done.
  Channels() = ChannelRecorder();
  const auto before = Snapshot();
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), Lines{"No files found."});
  EXPECT_TRUE(ChannelRecorder::Actions(Channels().plan).empty());
  auto after = Snapshot();
  EXPECT_EQ(after.erase("U:\\run.log"), 1u);
  auto without_log = before;
  without_log.erase("U:\\run.log");
  EXPECT_EQ(after, without_log);
}

// --- Selections in another letter case -------------------------------------

// An exclusion names its folder as the file system finds it, in any letter
// case: "S:\data\Cache\*" excludes the folder "cache" that the include
// "S:\Data\*" lists, on both sides. Compared byte for byte it excluded
// nothing: one way the folder was backed up, both ways with erasing
// orphans its files were erased on both sides.
TEST_F(NamesAndStamps, AnExclusionInAnotherLetterCaseExcludesTheFolderOnBothSides) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  struct Case {
    const char* what;
    int touchMode;
    int orphanModeB;
  };
  const Case cases[] = {
      {"one way", 0, 0},
      {"both ways, orphans erased", 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(drives_.Native("S:\\Data"));
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write("S:\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Data\\a.txt", "a", kOld);
    Write("S:\\Data\\cache\\c.txt", "c", kOld);
    Write("S:\\Data\\cache\\deep\\d.txt", "d", kOld);
    Write("T:\\Backup\\Data\\cache\\e.txt", "e", kOld);
    job_.dirExcludes = {"S:\\data\\Cache\\*"};
    job_.touchMode = c.touchMode;
    job_.orphanModeB = c.orphanModeB;
    job_.lastUpdate = kNew;

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), Lines{"No files found."});
    EXPECT_EQ(Read("S:\\Data\\cache\\c.txt"), "c");
    EXPECT_EQ(Read("S:\\Data\\cache\\deep\\d.txt"), "d");
    EXPECT_EQ(Read("T:\\Backup\\Data\\cache\\e.txt"), "e");
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\cache\\c.txt"));
    EXPECT_FALSE(Exists("S:\\Data\\cache\\e.txt"));
  }
}


// --- Stamps finer than two seconds ------------------------------------------

// A file's time within its two-second stamp.
struct FineTime {
  int64_t unixSeconds;
  uint32_t nanoseconds;
};

struct FineCase {
  const char* what;
  int touchMode;
  FineTime source;
  FineTime backup;
  Lines body;  // of the first run; the second finds nothing to do
};

// Where both sides keep finer times than the two-second stamps, they are
// compared finer: an edit 1.8 s after its backup, with the same size, was
// "equal" and never backed up. Where a side keeps whole seconds only (DOS
// stamps, FAT), the two seconds of a stamp still count as one time; a time
// is compared at the coarser grain of the two sides (a copy keeps only as
// much of it as its file system does), so a repeated run copies nothing.
TEST_F(NamesAndStamps, TimesFinerThanTwoSecondsAreComparedWhereBothSidesKeepThem) {
  constexpr int64_t kEven = 1000000000;  // an even second: one stamp holds it and the next
  const Lines copied = {"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"};
  const Lines copied_back = {"File copied: T:\\Backup\\Data\\a.txt", "to: S:\\Data\\a.txt"};
  const Lines nothing = {"No files found."};
  const FineCase cases[] = {
      {"an edit 1.8 s after its backup", 0, {kEven + 1, 900000000}, {kEven, 100000000}, copied},
      {"a backup 1.8 s newer, one way", 0, {kEven, 100000000}, {kEven + 1, 900000000}, nothing},
      {"a backup 1.8 s newer, both ways", 1, {kEven, 100000000}, {kEven + 1, 900000000},
       copied_back},
      {"a backup on whole seconds", 0, {kEven + 1, 900000000}, {kEven, 0}, nothing},
      {"a backup that keeps 100 ns", 0, {kEven, 123456789}, {kEven, 123456700}, nothing},
  };
  for (const FineCase& c : cases) {
    SCOPED_TRACE(c.what);
    Write("S:\\Data\\a.txt", "new!", kOld);
    Write("T:\\Backup\\Data\\a.txt", "old!", kOld);
    drives_.SetNativeWriteTime("S:\\Data\\a.txt", c.source.unixSeconds, c.source.nanoseconds);
    drives_.SetNativeWriteTime("T:\\Backup\\Data\\a.txt", c.backup.unixSeconds,
                               c.backup.nanoseconds);
    job_.touchMode = c.touchMode;
    job_.lastUpdate = kNew;

    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), c.body);
    const bool any_copy = c.body != nothing;
    EXPECT_EQ(Read("S:\\Data\\a.txt") == Read("T:\\Backup\\Data\\a.txt"), any_copy);

    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), nothing);
  }
}

#ifdef _WIN32
// --- Windows: letters beyond ASCII ------------------------------------------

// The Linux side of Wine: a script run by /bin/sh with arguments, where
// Windows calls cannot go (Wine finds names as Windows does, so writing
// "\u00C4.txt" through them would open "\u00E4.txt"). False when not under Wine.
bool LinuxShell(const std::string& script, std::vector<std::string> args) {
  using Spawn = LONG(CDECL*)(char* const argv[], int wait);
  const auto spawn = reinterpret_cast<Spawn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
  if (!spawn) return false;
  std::vector<std::string> words = {"/bin/sh", "-c", script, "sh"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return spawn(argv.data(), 1) == 0;
}

// The Linux path of a folder in drive form (ASCII); empty when unknown.
std::string LinuxPath(const std::string& folder) {
  using UnixFileName = char*(CDECL*)(LPCWSTR);
  const auto unix_name = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) return std::string();
  const std::wstring wide(folder.begin(), folder.end());
  char* path = unix_name(wide.c_str());
  if (!path) return std::string();
  std::string result = path;
  ::HeapFree(::GetProcessHeap(), 0, path);
  return result;
}

// The name as the engine meets it: in the ANSI code page. Empty when the
// code page has no such character.
std::string AnsiName(const wchar_t* name) {
  BOOL lost = FALSE;
  char bytes[64];
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, bytes,
                                           sizeof bytes, nullptr, &lost);
  return length > 0 && !lost ? std::string(bytes) : std::string();
}

// A file written on the Linux side: `path` below the drive's root, in UTF-8.
struct LinuxFile {
  char drive;
  std::string path;
  std::string content;
};

// Names that differ in the case of a letter beyond ASCII are one name to
// Windows: a copy of one lands on the other. In a folder that keeps them
// apart (a case-sensitive folder; under Wine, a Linux folder) they are case
// twins, left alone on both sides and reported, as twins of ASCII letters
// are. Taken for two names, both were copied onto one target, one version
// was in no backup, and each run copied again over the backup.
TEST_F(NamesAndStamps, NamesApartByTheCaseOfALetterBeyondAsciiAreCaseTwins) {
  const std::string upper = AnsiName(L"\u00C4.txt");
  const std::string lower = AnsiName(L"\u00E4.txt");
  const std::string upper_folder = AnsiName(L"\u00C4pfel");
  const std::string lower_folder = AnsiName(L"\u00E4pfel");
  const std::string roots[] = {LinuxPath("S:\\"), LinuxPath("T:\\"), LinuxPath("U:\\")};
  if (upper.empty() || lower.empty() || roots[0].empty()) {
    GTEST_SKIP() << "needs Wine and an ANSI code page with A and a with umlaut";
  }
  const std::string kUpper = "\xC3\x84";  // U+00C4 in UTF-8
  const std::string kLower = "\xC3\xA4";  // U+00E4
  struct Case {
    const char* what;
    std::vector<LinuxFile> files;
    int touchMode;
    Lines reports;
  };
  const Case cases[] = {
      {"two files in the source, one way",
       {{'S', "Data/" + kUpper + ".txt", "upper"}, {'S', "Data/" + kLower + ".txt", "lower"}},
       0,
       {"Case twin: S:\\Data\\" + upper, "Case twin: S:\\Data\\" + lower}},
      {"two backups, both ways",
       {{'S', "Data/" + kUpper + ".txt", "source"},
        {'T', "Backup/Data/" + kUpper + ".txt", "upper"},
        {'T', "Backup/Data/" + kLower + ".txt", "lower"}},
       1,
       {"Case twin: T:\\Backup\\Data\\" + upper, "Case twin: T:\\Backup\\Data\\" + lower}},
      {"two folders in the source, one way",
       {{'S', "Data/" + kUpper + "pfel/x.txt", "upper"},
        {'S', "Data/" + kLower + "pfel/x.txt", "lower"}},
       0,
       {"Case twin: S:\\Data\\" + upper_folder + "\\",
        "Case twin: S:\\Data\\" + lower_folder + "\\"}},
  };
  // Every file of S: and T: with its content, as Linux holds them.
  const auto native_files = [&] {
    const std::string listing = roots[2] + "/files.txt";
    EXPECT_TRUE(LinuxShell(
        "for root in \"$1\" \"$2\"; do (cd \"$root\" && find . -type f | LC_ALL=C sort |"
        " while read -r f; do printf '%s=' \"$f\"; cat \"$f\"; echo; done); done > \"$3\"",
        {roots[0], roots[1], listing}));
    return Read("U:\\files.txt");
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(LinuxShell("rm -rf \"$1\"/* \"$2\"/*", {roots[0], roots[1]}));
    for (const LinuxFile& file : c.files) {
      ASSERT_TRUE(LinuxShell("mkdir -p \"$(dirname \"$1\")\" && printf %s \"$2\" > \"$1\"",
                             {roots[file.drive - 'S'] + "/" + file.path, file.content}));
    }
    job_.touchMode = c.touchMode;
    job_.orphanModeB = 2;
    job_.lastUpdate = kNew;
    const std::string before = native_files();
    Lines body = c.reports;
    body.push_back("No files found.");
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      ASSERT_EQ(Run(), 1);
      EXPECT_EQ(LogBody(), body);
      EXPECT_EQ(native_files(), before);
    }
  }
}
#endif

}  // namespace
}  // namespace tolvex::runtest
