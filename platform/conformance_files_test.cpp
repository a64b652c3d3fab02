// Conformance of the file operations (copy, delete, move, folders, open for
// writing) and of last-write stamps: the codes of every failure, what a
// failure leaves untouched, and what a copy carries over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/conformance_support.h"
#include "platform/copy_progress.h"
#include "platform/dos_stamp.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

using conformance::FoundEntry;
using conformance::FoundNames;
using conformance::StampSeconds;

constexpr uint32_t kAnyFailure = 0xFFFFFFFFu;  // any code but 0
const uint32_t kSourceStamp = PackStamp(LocalTime{2019, 7, 4, 10, 20, 30, 0});

const char kWineCopyOverReadOnly[] =
    "measured under Wine 8: CopyFileA over a read-only target succeeded as root (Wine maps "
    "read-only to missing write permission, which root ignores); the back end checks the "
    "attribute itself, so Wine may agree here";

const char kWineOpenReadOnly[] =
    "measured here: as root, Wine opens a read-only file for writing (and empties it), for the "
    "reason as for CopyFileA (read-only is a missing write permission, which root ignores)";
const char kWineCopyProgress[] =
    "measured here: Wine's CopyFileExA never calls its progress routine (a 40 MiB copy: the "
    "watcher saw only the back end's own report at the end); Windows calls it between chunks";
const char kWineCaseRename[] =
    "measured here: Wine's MoveFileA to another letter case of the same name succeeds but keeps "
    "the old spelling; Windows renames";

// The fixture every operation case starts from.
void WriteOperationFixture(const TestDrives& drives) {
  drives.WriteFile("S:\\d\\src.txt", "source", kSourceStamp);
  drives.WriteFile("S:\\d\\target.txt", "old");
  drives.WriteFile("S:\\d\\sub\\inner.txt", "inner");
  drives.MakeDirs("S:\\d\\empty");
}

void MakeReadOnly(const std::string& path) {
  ASSERT_EQ(Sys().SetAttributes(path, kAttrReadOnly), kErrOk) << path;
}

struct OperationCase {
  const char* label;
  std::function<void()> setup;  // beyond the common fixture; may be empty
  std::function<uint32_t()> operation;
  uint32_t code;  // kAnyFailure: any failure
  std::function<void(const TestDrives&)> still_true;  // what the failure left alone
  const char* wine_evidence = nullptr;
};

void ExpectUntouched(const TestDrives& drives) {
  EXPECT_EQ(drives.ReadFile("S:\\d\\src.txt"), "source");
  EXPECT_EQ(drives.ReadFile("S:\\d\\target.txt"), "old");
  EXPECT_EQ(drives.ReadFile("S:\\d\\sub\\inner.txt"), "inner");
  EXPECT_TRUE(drives.Exists("S:\\d\\empty"));
}

std::vector<OperationCase> OperationCases() {
  const auto nothing_new = [](const TestDrives& drives) {
    ExpectUntouched(drives);
    EXPECT_FALSE(drives.Exists("S:\\d\\new.txt"));
  };
  return {
      {"CopyMissingSource", nullptr, [] { return Sys().CopyOver("S:\\d\\none.txt", "S:\\d\\new.txt"); },
       kErrFileNotFound, nothing_new},
      {"CopySourceFolderMissing", nullptr,
       [] { return Sys().CopyOver("S:\\none\\x.txt", "S:\\d\\new.txt"); }, kErrPathNotFound,
       nothing_new},
      {"CopyIntoMissingFolder", nullptr,
       [] { return Sys().CopyOver("S:\\d\\src.txt", "S:\\none\\new.txt"); }, kErrPathNotFound,
       [](const TestDrives& drives) {
         ExpectUntouched(drives);
         EXPECT_FALSE(drives.Exists("S:\\none"));
       }},
      {"CopyOverReadOnlyTarget", [] { MakeReadOnly("S:\\d\\target.txt"); },
       [] { return Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\target.txt"); }, kErrAccessDenied,
       ExpectUntouched, kWineCopyOverReadOnly},
      {"CopyOntoItself", nullptr, [] { return Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\src.txt"); },
       kErrSharingViolation, ExpectUntouched},
      {"CopyOntoItselfInOtherCase", nullptr,
       [] { return Sys().CopyOver("S:\\d\\src.txt", "S:\\D\\SRC.TXT"); }, kErrSharingViolation,
       ExpectUntouched},
      {"CopyOntoFolder", nullptr, [] { return Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\sub"); },
       kErrAccessDenied, ExpectUntouched},
      {"CopyFromFolder", nullptr, [] { return Sys().CopyOver("S:\\d\\sub", "S:\\d\\new.txt"); },
       kErrAccessDenied, nothing_new},
      {"RemoveReadOnlyFile", [] { MakeReadOnly("S:\\d\\target.txt"); },
       [] { return Sys().RemoveFile("S:\\d\\target.txt"); }, kErrAccessDenied, ExpectUntouched},
      {"RemoveMissingFile", nullptr, [] { return Sys().RemoveFile("S:\\d\\none.txt"); },
       kErrFileNotFound, ExpectUntouched},
      {"RemoveFileInMissingFolder", nullptr, [] { return Sys().RemoveFile("S:\\none\\x.txt"); },
       kErrPathNotFound, ExpectUntouched},
      {"RemoveFileThatIsAFolder", nullptr, [] { return Sys().RemoveFile("S:\\d\\empty"); },
       kErrAccessDenied, ExpectUntouched},
      {"MoveOntoExistingFile", nullptr,
       [] { return Sys().MoveEntry("S:\\d\\src.txt", "S:\\d\\target.txt"); }, kErrAlreadyExists,
       ExpectUntouched},
      {"MoveOntoExistingFileInOtherCase", nullptr,
       [] { return Sys().MoveEntry("S:\\d\\src.txt", "S:\\d\\TARGET.TXT"); }, kErrAlreadyExists,
       ExpectUntouched},
      {"MoveOntoExistingFolder", nullptr,
       [] { return Sys().MoveEntry("S:\\d\\empty", "S:\\d\\sub"); }, kErrAlreadyExists,
       ExpectUntouched},
      {"MoveMissing", nullptr, [] { return Sys().MoveEntry("S:\\d\\none.txt", "S:\\d\\new.txt"); },
       kErrFileNotFound, nothing_new},
      {"MoveIntoMissingFolder", nullptr,
       [] { return Sys().MoveEntry("S:\\d\\src.txt", "S:\\none\\new.txt"); }, kErrPathNotFound,
       ExpectUntouched},
      {"RemoveFolderNotEmpty", nullptr, [] { return Sys().RemoveFolder("S:\\d\\sub"); },
       kErrDirNotEmpty, ExpectUntouched},
      {"RemoveMissingFolder", nullptr, [] { return Sys().RemoveFolder("S:\\d\\none"); },
       kErrFileNotFound, ExpectUntouched},
      {"MakeExistingFolder", nullptr, [] { return Sys().MakeFolder("S:\\d\\sub"); },
       kErrAlreadyExists, ExpectUntouched},
      {"MakeExistingFolderInOtherCase", nullptr, [] { return Sys().MakeFolder("S:\\d\\SUB"); },
       kErrAlreadyExists, ExpectUntouched},
      {"MakeFolderOverFile", nullptr, [] { return Sys().MakeFolder("S:\\d\\src.txt"); },
       kErrAlreadyExists, ExpectUntouched},
      {"MakeFolderWithoutParent", nullptr, [] { return Sys().MakeFolder("S:\\none\\x"); },
       kErrPathNotFound,
       [](const TestDrives& drives) { EXPECT_FALSE(drives.Exists("S:\\none")); }},
      {"OpenReadOnlyForWrite", [] { MakeReadOnly("S:\\d\\target.txt"); },
       [] {
         std::FILE* file = nullptr;
         const uint32_t code = Sys().OpenForWrite("S:\\d\\target.txt", false, &file);
         if (file) std::fclose(file);
         return code;
       },
       kErrAccessDenied, ExpectUntouched, kWineOpenReadOnly},
      {"OpenInMissingFolder", nullptr,
       [] {
         std::FILE* file = nullptr;
         const uint32_t code = Sys().OpenForWrite("S:\\none\\log.txt", true, &file);
         if (file) std::fclose(file);
         return code;
       },
       kErrPathNotFound, ExpectUntouched},
      {"OpenMissingForRead", nullptr,
       [] {
         std::FILE* file = nullptr;
         const uint32_t code = Sys().OpenForRead("S:\\d\\none.txt", &file);
         if (file) std::fclose(file);
         return code;
       },
       kErrFileNotFound, ExpectUntouched},
      {"OpenFolderForRead", nullptr,
       [] {
         std::FILE* file = nullptr;
         const uint32_t code = Sys().OpenForRead("S:\\d\\sub", &file);
         if (file) std::fclose(file);
         return code;
       },
       kErrAccessDenied, ExpectUntouched},
      {"AttributesOfMissingFile", nullptr,
       [] {
         uint32_t attributes = 0;
         return Sys().GetAttributes("S:\\d\\none.txt", &attributes);
       },
       kErrFileNotFound, ExpectUntouched},
      {"AttributesInMissingFolder", nullptr,
       [] {
         uint32_t attributes = 0;
         return Sys().GetAttributes("S:\\none\\x.txt", &attributes);
       },
       kErrPathNotFound, ExpectUntouched},
      {"StampOfMissingFile", nullptr,
       [] {
         uint32_t stamp = 0;
         return Sys().GetLastWriteStamp("S:\\d\\none.txt", &stamp);
       },
       kErrFileNotFound, ExpectUntouched},
      {"SetStampThatNamesNoTime", nullptr,
       [] { return Sys().SetLastWriteStamp("S:\\d\\src.txt", (13u << 21) | (1u << 16)); },
       kErrInvalidParameter,
       [](const TestDrives& drives) {
         ExpectUntouched(drives);
         uint32_t stamp = 0;
         EXPECT_EQ(Sys().GetLastWriteStamp("S:\\d\\src.txt", &stamp), kErrOk);
         EXPECT_EQ(stamp, kSourceStamp);
       }},
      {"FreeSpaceOfUnmappedDrive", nullptr,
       [] {
         uint64_t free_bytes = 0;
         return Sys().DiskFreeSpace("Q:\\", &free_bytes);
       },
       kAnyFailure, ExpectUntouched},
  };
}

class OperationErrorTest : public testing::TestWithParam<OperationCase> {
 protected:
  TestDrives drives_;
};

TEST_P(OperationErrorTest, FailsWithTheWindowsCodeAndChangesNothing) {
  const OperationCase& c = GetParam();
  WriteOperationFixture(drives_);
  if (c.setup) c.setup();
  const uint32_t code = c.operation();
  const bool as_windows = c.code == kAnyFailure ? code != kErrOk : code == c.code;
  TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(c.wine_evidence, !as_windows, code);
  if (c.code == kAnyFailure) {
    EXPECT_NE(code, kErrOk);
  } else {
    EXPECT_EQ(code, c.code);
  }
  c.still_true(drives_);
}

INSTANTIATE_TEST_SUITE_P(Conformance, OperationErrorTest, testing::ValuesIn(OperationCases()),
                         [](const testing::TestParamInfo<OperationCase>& info) {
                           return std::string(info.param.label);
                         });

// ---------------------------------------------------------------------------
// What succeeds.

class ConformanceFiles : public testing::Test {
 protected:
  void SetUp() override { WriteOperationFixture(drives_); }
  TestDrives drives_;
};

TEST_F(ConformanceFiles, CopyCarriesContentSizeAndLastWriteTime) {
  ASSERT_EQ(Sys().CopyOver("S:\\d\\src.txt", "T:\\copy.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("T:\\copy.txt"), "source");
  const FindEntry source = FoundEntry("S:\\d\\src.txt");
  const FindEntry copy = FoundEntry("T:\\copy.txt");
  EXPECT_EQ(copy.size, source.size);
  EXPECT_EQ(copy.stamp, source.stamp);
  EXPECT_EQ(copy.stamp, kSourceStamp);
}

TEST_F(ConformanceFiles, CopyReplacesAWritableTarget) {
  ASSERT_EQ(Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\target.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("S:\\d\\target.txt"), "source");
  EXPECT_EQ(FoundEntry("S:\\d\\target.txt").stamp, kSourceStamp);
  EXPECT_EQ(drives_.ReadFile("S:\\d\\src.txt"), "source");
}

TEST_F(ConformanceFiles, CopyKeepsTheReadOnlyBitWhichThenGuardsTheCopy) {
  MakeReadOnly("S:\\d\\src.txt");
  ASSERT_EQ(Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\new.txt"), kErrOk);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\d\\new.txt", &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrReadOnly, 0u);
  const uint32_t again = Sys().CopyOver("S:\\d\\target.txt", "S:\\d\\new.txt");
  TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(kWineCopyOverReadOnly, again != kErrAccessDenied, again);
  EXPECT_EQ(again, kErrAccessDenied);
  EXPECT_EQ(drives_.ReadFile("S:\\d\\new.txt"), "source");
}

// Modes where the system has them (POSIX): listed, read, set and copied; a
// mode of 444 is the read-only attribute. Windows has none: nothing is
// listed, each call answers 50 and the read-only attribute stays as it was.
TEST_F(ConformanceFiles, ModesAreListedSetAndCopiedWhereTheSystemHasThem) {
  const std::string file = "S:\\d\\src.txt";
  Platform::ModeInfo info;
  uint32_t attributes = 0;
#if defined(_WIN32)
  EXPECT_EQ(FoundEntry(file).mode, 0u);
  EXPECT_EQ(Sys().GetModeInfo(file, &info), kErrNotSupported);
  EXPECT_EQ(Sys().SetMode(file, 0444), kErrNotSupported);
  EXPECT_EQ(Sys().CopyMode(file, "S:\\d\\target.txt", 0, nullptr), kErrNotSupported);
  ASSERT_EQ(Sys().GetAttributes(file, &attributes), kErrOk);
  EXPECT_EQ(attributes & kAttrReadOnly, 0u);
#else
  ASSERT_EQ(Sys().SetMode(file, 0640), kErrOk);
  EXPECT_EQ(FoundEntry(file).mode, kModeKnown | 0640u);
  ASSERT_EQ(Sys().GetModeInfo(file, &info), kErrOk);
  EXPECT_EQ(info.mode, 0640u);
  ASSERT_EQ(Sys().SetMode(file, 0444), kErrOk);
  ASSERT_EQ(Sys().GetAttributes(file, &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrReadOnly, 0u);
  uint32_t copied = 0;
  ASSERT_EQ(Sys().CopyMode(file, "S:\\d\\target.txt", 0, &copied), kErrOk);
  EXPECT_EQ(copied, 0444u);
  EXPECT_EQ(FoundEntry("S:\\d\\target.txt").mode, kModeKnown | 0444u);
  // A mode set is no write: a read-only file takes another mode.
  ASSERT_EQ(Sys().SetMode("S:\\d\\target.txt", 0604), kErrOk);
  EXPECT_EQ(FoundEntry("S:\\d\\target.txt").mode, kModeKnown | 0604u);
  ASSERT_EQ(Sys().CopyOver(file, "S:\\d\\new.txt"), kErrOk);
  EXPECT_EQ(FoundEntry("S:\\d\\new.txt").mode, kModeKnown | 0444u);
  // A folder's mode, and the bits added to it.
  drives_.MakeDirs("S:\\kept\\");
  drives_.MakeDirs("T:\\made\\");
  ASSERT_EQ(Sys().SetMode("S:\\kept", 0500), kErrOk);
  ASSERT_EQ(Sys().CopyMode("S:\\kept", "T:\\made", 0700, &copied), kErrOk);
  EXPECT_EQ(copied, 0500u);
  ASSERT_EQ(Sys().GetModeInfo("T:\\made", &info), kErrOk);
  EXPECT_EQ(info.mode, 0700u);
  ASSERT_EQ(Sys().SetMode("S:\\kept", 0700), kErrOk);
  // Never through a link, and nothing for what is missing.
  if (drives_.MakeLink(file, "S:\\d\\link.txt")) {
    EXPECT_EQ(Sys().SetMode("S:\\d\\link.txt", 0600), kErrAccessDenied);
    ASSERT_EQ(Sys().GetModeInfo(file, &info), kErrOk);
    EXPECT_EQ(info.mode, 0444u);
  }
  EXPECT_EQ(Sys().SetMode("S:\\d\\missing.txt", 0600), kErrFileNotFound);
  ASSERT_EQ(Sys().SetMode(file, 0644), kErrOk);
#endif
}

TEST_F(ConformanceFiles, CopyOfAnEmptyFile) {
  drives_.WriteFile("S:\\d\\empty.txt", "");
  ASSERT_EQ(Sys().CopyOver("S:\\d\\empty.txt", "S:\\d\\target.txt"), kErrOk);
  EXPECT_TRUE(drives_.Exists("S:\\d\\target.txt"));
  EXPECT_EQ(FoundEntry("S:\\d\\target.txt").size, 0u);
}

// A copy asked to stop (a second Ctrl-C) fails with 1235 whether it was in
// the middle of its data or done with it: the target keeps what it held,
// a new target is not made, and no temporary file stays in the folder. One
// request is not enough: the copy under way completes.
TEST_F(ConformanceFiles, ACopyAskedToStopLeavesTheTargetAsItWas) {
  drives_.WriteFile("S:\\d\\big.bin", std::string(5 << 20, 'b'));
  drives_.MakeDirs("T:\\t");
  RequestStop();
  EXPECT_EQ(Sys().CopyOver("S:\\d\\src.txt", "S:\\d\\target.txt"), kErrOk);
  RequestStop();
  for (const char* source : {"S:\\d\\src.txt", "S:\\d\\big.bin"}) {
    EXPECT_EQ(Sys().CopyOver(source, "S:\\d\\target.txt"), kErrRequestAborted) << source;
    EXPECT_EQ(Sys().CopyOver(source, "T:\\t\\new.bin"), kErrRequestAborted) << source;
  }
  ClearStopRequests();
  EXPECT_EQ(drives_.ReadFile("S:\\d\\target.txt"), "source");  // the first copy's
  EXPECT_FALSE(drives_.Exists("T:\\t\\new.bin"));
  // Listed natively: an enumeration of the platform never shows a temporary file.
  const auto native_names = [this](const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(drives_.Native(folder))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(native_names("T:\\t\\"), std::vector<std::string>{});
  EXPECT_EQ(native_names("S:\\d\\"),
            (std::vector<std::string>{"big.bin", "empty", "src.txt", "sub", "target.txt"}));
}

// The copy's watcher sees a large file in chunks, in order, up to its size;
// a copy its watcher stops (at the first report, one in the middle, or the
// last, when the content is complete) fails with 1235: the target keeps
// what it held, a new target is not made, nothing temporary stays. Under
// Wine only the report at the end comes (see kWineCopyProgress).
TEST_F(ConformanceFiles, TheCopysWatcherSeesALargeFileInChunksAndMayStopIt) {
  const uint64_t size = uint64_t{40} << 20;
  drives_.WriteFile("S:\\d\\big.bin", std::string(size, 'b'));
  drives_.MakeDirs("T:\\t");
  std::vector<uint64_t> seen;
  {
    const CopyWatchScope watch([&](uint64_t done, uint64_t total) {
      EXPECT_EQ(total, size);
      seen.push_back(done);
      return true;
    });
    ASSERT_EQ(Sys().CopyOver("S:\\d\\big.bin", "T:\\big.bin"), kErrOk);
  }
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), size);
  const size_t within = static_cast<size_t>(std::count_if(
      seen.begin(), seen.end(), [&](uint64_t done) { return done > 0 && done < size; }));

  for (const size_t stop_at : {size_t{0}, seen.size() / 2, seen.size() - 1}) {
    SCOPED_TRACE("stopped at report " + std::to_string(stop_at) + " of " +
                 std::to_string(seen.size()));
    size_t reports = 0;
    const CopyWatchScope watch([&](uint64_t, uint64_t) { return reports++ != stop_at; });
    for (const char* target : {"S:\\d\\target.txt", "T:\\t\\new.bin"}) {
      reports = 0;
      EXPECT_EQ(Sys().CopyOver("S:\\d\\big.bin", target), kErrRequestAborted) << target;
      EXPECT_EQ(reports, stop_at + 1) << "no report after the stop: " << target;
    }
    EXPECT_EQ(drives_.ReadFile("S:\\d\\target.txt"), "old");
    EXPECT_FALSE(drives_.Exists("T:\\t\\new.bin"));
    std::vector<std::string> left;
    for (const char* folder : {"S:\\d\\", "T:\\t\\"}) {
      for (const auto& entry : std::filesystem::directory_iterator(drives_.Native(folder))) {
        left.push_back(entry.path().filename().string());
      }
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"big.bin", "empty", "src.txt", "sub", "target.txt"}));
  }

  TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(kWineCopyProgress, within == 0,
                                   std::to_string(seen.size()) + " reports");
  EXPECT_GE(within, 3u) << "reports: " << seen.size();
}

TEST_F(ConformanceFiles, MoveRenamesFilesAndFolders) {
  ASSERT_EQ(Sys().MoveEntry("S:\\d\\src.txt", "S:\\d\\sub\\moved.txt"), kErrOk);
  EXPECT_FALSE(drives_.Exists("S:\\d\\src.txt"));
  EXPECT_EQ(drives_.ReadFile("S:\\d\\sub\\moved.txt"), "source");
  ASSERT_EQ(Sys().MoveEntry("S:\\d\\sub", "S:\\d\\renamed"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("S:\\d\\renamed\\inner.txt"), "inner");
}

TEST_F(ConformanceFiles, MoveOntoItselfSucceedsAndAnotherCaseRenames) {
  EXPECT_EQ(Sys().MoveEntry("S:\\d\\src.txt", "S:\\d\\src.txt"), kErrOk);
  EXPECT_EQ(Sys().MoveEntry("S:\\d\\src.txt", "S:\\d\\Src.TXT"), kErrOk);
  const std::vector<std::string> names = FoundNames("S:\\d\\s*.txt", 0);
  TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(kWineCaseRename, names != std::vector<std::string>{"Src.TXT"},
                                   conformance::Listed(names));
  EXPECT_EQ(names, (std::vector<std::string>{"Src.TXT"}));
  EXPECT_EQ(drives_.ReadFile("S:\\d\\Src.TXT"), "source");
}

TEST_F(ConformanceFiles, FoldersAreMadeAndRemoved) {
  ASSERT_EQ(Sys().MakeFolder("S:\\d\\made"), kErrOk);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\d\\made", &attributes), kErrOk);
  EXPECT_NE(attributes & kAttrDirectory, 0u);
  EXPECT_EQ(Sys().RemoveFolder("S:\\d\\made"), kErrOk);
  EXPECT_EQ(Sys().RemoveFolder("S:\\d\\EMPTY"), kErrOk);
  EXPECT_FALSE(drives_.Exists("S:\\d\\empty"));
}

TEST_F(ConformanceFiles, FilesAreRemovedOnceWritable) {
  MakeReadOnly("S:\\d\\target.txt");
  ASSERT_EQ(Sys().SetAttributes("S:\\d\\target.txt", 0), kErrOk);
  EXPECT_EQ(Sys().RemoveFile("S:\\D\\TARGET.TXT"), kErrOk);
  EXPECT_FALSE(drives_.Exists("S:\\d\\target.txt"));
}

TEST_F(ConformanceFiles, OpenForWriteCreatesAppendsAndEmpties) {
  const auto write = [](const char* path, bool append, const char* text) {
    std::FILE* file = nullptr;
    ASSERT_EQ(Sys().OpenForWrite(path, append, &file), kErrOk);
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
  };
  write("S:\\d\\log.txt", true, "one\r\n");
  write("S:\\d\\log.txt", true, "two\r\n");
  EXPECT_EQ(drives_.ReadFile("S:\\d\\log.txt"), "one\r\ntwo\r\n");
  write("S:\\d\\LOG.TXT", false, "three\r\n");
  EXPECT_EQ(drives_.ReadFile("S:\\d\\log.txt"), "three\r\n");
}

TEST_F(ConformanceFiles, OpenForReadReadsTheWholeFileInAnyLetterCase) {
  drives_.WriteFile("S:\\d\\state.txt", std::string("one\ttwo\n\0three", 14));
  std::FILE* file = nullptr;
  ASSERT_EQ(Sys().OpenForRead("S:\\D\\STATE.TXT", &file), kErrOk);
  ASSERT_NE(file, nullptr);
  char buffer[64];
  const size_t got = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, got), std::string("one\ttwo\n\0three", 14));
}

// ---------------------------------------------------------------------------
// Stamps.

TEST(ConformanceStamps, SetStampsReadBackUnchanged) {
  TestDrives drives;
  drives.WriteFile("S:\\s.txt", "s");
  const uint32_t stamps[] = {
      kFirstStamp,
      PackStamp(LocalTime{1999, 12, 31, 23, 59, 58, 0}),
      PackStamp(LocalTime{2000, 2, 29, 12, 0, 0, 0}),
      PackStamp(LocalTime{2038, 1, 19, 3, 14, 8, 0}),  // past 32-bit time_t
      kLastStamp,
  };
  for (const uint32_t stamp : stamps) {
    ASSERT_EQ(Sys().SetLastWriteStamp("S:\\s.txt", stamp), kErrOk) << stamp;
    uint32_t read = 0;
    ASSERT_EQ(Sys().GetLastWriteStamp("S:\\s.txt", &read), kErrOk);
    EXPECT_EQ(read, stamp);
    EXPECT_EQ(FoundEntry("S:\\s.txt").stamp, stamp);
  }
}

TEST(ConformanceStamps, SecondsAreTruncatedToEvenValues) {
  TestDrives drives;
  drives.WriteFile("S:\\t.txt", "t");
  // 2020-09-13 12:26:40 UTC; local offsets are whole minutes, so the
  // seconds stay 40, 41 and 42 in local time.
  const int64_t even = 1600000000;
  const auto stamp_at = [&](int64_t seconds) {
    drives.SetNativeWriteTime("S:\\t.txt", seconds);
    uint32_t stamp = 0;
    EXPECT_EQ(Sys().GetLastWriteStamp("S:\\t.txt", &stamp), kErrOk);
    EXPECT_EQ(FoundEntry("S:\\t.txt").stamp, stamp);
    return stamp;
  };
  const uint32_t at_even = stamp_at(even);
  EXPECT_EQ(at_even & 0x1F, 20u);
  EXPECT_EQ(stamp_at(even + 1), at_even);
  EXPECT_EQ(stamp_at(even + 2), at_even + 1);
}

TEST(ConformanceStamps, TimesOutsideTheDosRangeAreClamped) {
  TestDrives drives;
  drives.WriteFile("S:\\c.txt", "c");
  struct Case {
    const char* when;
    int64_t unix_seconds;
    uint32_t stamp;
  };
  const Case cases[] = {
      {"1970-01-02", 86400, kFirstStamp},
      {"1979-06-01", 296956800, kFirstStamp},
      {"2108-06-01", 4368211200, kLastStamp},
      {"2200-01-01", 7258118400, kLastStamp},
  };
  for (const Case& c : cases) {
    drives.SetNativeWriteTime("S:\\c.txt", c.unix_seconds);
    uint32_t stamp = 0;
    ASSERT_EQ(Sys().GetLastWriteStamp("S:\\c.txt", &stamp), kErrOk) << c.when;
    EXPECT_EQ(stamp, c.stamp) << c.when;
    EXPECT_EQ(FoundEntry("S:\\c.txt").stamp, c.stamp) << c.when;
  }
}

TEST(ConformanceStamps, NewFileIsStampedWithTheLocalTimeNow) {
  TestDrives drives;
  const int64_t before = StampSeconds(PackStamp(Sys().Now()));
  drives.WriteFile("S:\\now.txt", "n");
  const int64_t after = StampSeconds(PackStamp(Sys().Now()));
  uint32_t stamp = 0;
  ASSERT_EQ(Sys().GetLastWriteStamp("S:\\now.txt", &stamp), kErrOk);
  EXPECT_GE(StampSeconds(stamp), before - 2);
  EXPECT_LE(StampSeconds(stamp), after + 2);
}

}  // namespace
}  // namespace tolvex
