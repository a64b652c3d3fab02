// Whole runs over figures that do not fit the 32-bit types of the shipping
// library's world: files and copy totals over 4 GiB, free space over 4 GiB,
// stamps after 2038 up to 2107, and paths far longer than 260 characters.
// A size kept in a size_t or a long, a percentage computed in 32 bits or a
// 32-bit time_t would pass every other test and break here; the 32-bit
// build runs these too. The big files are sparse: they cost no disk.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dos_stamp.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

constexpr uint64_t kGiB = uint64_t{1} << 30;
constexpr uint64_t kMiB = uint64_t{1} << 20;

class FiguresBeyond32Bits : public RunTest {
 protected:
  uint64_t SizeOf(const std::string& path) {
    std::vector<FindEntry> entries;
    Sys().FindEntries(path, 0xFF, &entries, nullptr);
    return entries.size() == 1 ? entries[0].size : 0;
  }
  uint32_t StampOf(const std::string& path) {
    uint32_t stamp = 0;
    EXPECT_EQ(Sys().GetLastWriteStamp(path, &stamp), kErrOk) << path;
    return stamp;
  }
  // A second run over the same trees must find nothing to do.
  void ExpectSecondRunChangesNothing() {
    Recorder() = CallbackRecorder();
    const int copies = platform_.copies;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Notifications(), (std::vector<NotifyCall>{{10007, 0, 0}}));
    EXPECT_EQ(platform_.copies, copies);
  }
};

// The copy of the Windows back end (CopyFileA; under Wine a read and write
// loop) writes the holes out: gigabytes of disk and minutes for each run.
// Its sizes and the engine's figures are held by the tests below that stop
// before the copy.
#ifdef _WIN32
#define SKIP_WHERE_COPIES_FILL_HOLES() \
  GTEST_SKIP() << "the Windows copy writes a sparse file's holes out"
#else
#define SKIP_WHERE_COPIES_FILL_HOLES()
#endif

TEST_F(FiguresBeyond32Bits, FilesOverFourGigabytesAreCopiedCountedAndLoggedWhole) {
  SKIP_WHERE_COPIES_FILL_HOLES();
  const uint64_t a_size = 3 * kGiB;
  const uint64_t b_size = 6 * kGiB + 4097;
  const std::vector<TestDrives::Piece> b_pieces = {
      {0, "head"}, {(uint64_t{1} << 32) - 5, "across 4 GiB"}, {b_size - 4, "tail"}};
  drives_.WriteSparseFile("S:\\Data\\a.bin", a_size, {{a_size - 1, "a"}}, kNew);
  drives_.WriteSparseFile("S:\\Data\\b.bin", b_size, b_pieces, kNew);
  Write("T:\\Backup\\Data\\b.bin", "old", kOld);
  job_.confirmMode = 1;  // each file asked about: the callback sees clamped sizes

  EXPECT_EQ(Run(), 1);

  ASSERT_EQ(Recorder().confirmations.size(), 2u);
  EXPECT_EQ(Recorder().confirmations[0].size, 3221225472u);  // 3 GiB still fits
  EXPECT_EQ(Recorder().confirmations[1].size, 0xFFFFFFFFu);  // clamped, never wrapped
  EXPECT_EQ(Recorder().confirmations[1].counterSize, 3u);
  // 3 of 9 GiB, then all: in 32 bits the total would be 1 GiB.
  ASSERT_EQ(ui_.copyDialogs.size(), 1u);
  EXPECT_EQ(ui_.copyDialogs[0].gaugePositions, (std::vector<int>{0, 33, 100}));
  EXPECT_NE(LogLineWith("File copied: S:\\Data\\a.bin").find(" 3221225472   03.14.99 10:22:40"),
            std::string::npos)
      << LogText();
  EXPECT_NE(LogLineWith("File copied: S:\\Data\\b.bin").find(" 6442455041   03.14.99 10:22:40"),
            std::string::npos)
      << LogText();
  EXPECT_NE(LogLineWith("to: T:\\Backup\\Data\\b.bin").find("         3   03.10.99 17:05:12"),
            std::string::npos)
      << LogText();
  EXPECT_EQ(SizeOf("T:\\Backup\\Data\\a.bin"), a_size);
  EXPECT_EQ(SizeOf("T:\\Backup\\Data\\b.bin"), b_size);
  EXPECT_EQ(drives_.ReadAt("T:\\Backup\\Data\\a.bin", a_size - 1, 2), "a");
  for (const TestDrives::Piece& piece : b_pieces) {
    EXPECT_EQ(drives_.ReadAt("T:\\Backup\\Data\\b.bin", piece.offset, piece.bytes.size()),
              piece.bytes);
  }
  EXPECT_EQ(StampOf("T:\\Backup\\Data\\b.bin"), kNew);

  job_.confirmMode = 0;
  ExpectSecondRunChangesNothing();
}

TEST_F(FiguresBeyond32Bits, FreeSpaceBeyondFourGigabytesIsComparedWhole) {
  struct Case {
    const char* what;
    uint64_t free;
    uint64_t size;
    std::vector<NotifyCall> notifications;
    Lines body;
  };
  const std::string warning = "Warning: Drive T: lacks ";
  const Case cases[] = {
      // In 32 bits: 1 MiB free for 2 MiB, a false warning.
      {"8 GiB + 1 MiB free for 4 GiB + 2 MiB", 8 * kGiB + kMiB, 4 * kGiB + 2 * kMiB, {}, {}},
      {"just enough", 4 * kGiB + 1, 4 * kGiB + 1, {}, {}},
      {"one byte short", 4 * kGiB, 4 * kGiB + 1, {{10008, 'T', 1}}, {warning + "0.0 MB of storage space."}},
      // In 32 bits: 3 GiB free for 1 GiB, no warning at all.
      {"3 GiB free for 5 GiB",
       3 * kGiB,
       5 * kGiB,
       {{10008, 'T', INT_MAX}},  // the callback's number is clamped; the log has it all
       {warning + "2048.0 MB of storage space."}},
      {"5 GiB free for 12 GiB",
       5 * kGiB,
       12 * kGiB,
       {{10008, 'T', INT_MAX}},
       {warning + "7168.0 MB of storage space."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    drives_.WriteSparseFile("S:\\Data\\image.bin", c.size, {{c.size - 1, "i"}}, kNew);
    platform_.freeSpace = {{'T', c.free}};
    Recorder().notifyAnswers.Push({kIdYes});  // run on after a warning ...
    job_.confirmMode = 2;
    ui_.overviewConfirms = false;  // ... and stop at the overview, before any copy

    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(Notifications(), c.notifications);
    Lines body = c.body;
    body.push_back("Aborted by user.");
    EXPECT_EQ(LogBody(), body);
    EXPECT_EQ(platform_.copies, 0);
  }
}

TEST_F(FiguresBeyond32Bits, StampsAfter2038UpTo2107AreCopiedKeptAndLogged) {
  struct Case {
    const char* name;
    uint32_t stamp;       // the source's stamp
    int64_t native_time;  // or else its native time (UTC seconds), beyond any stamp
    uint32_t read_stamp;  // the stamp the engine reads
    const char* logged;
  };
  const uint32_t y2038 = PackStamp({2038, 1, 19, 3, 14, 8, 0});  // past a 32-bit time_t
  const uint32_t y2040 = PackStamp({2040, 2, 29, 12, 0, 0, 0});
  const uint32_t y2106 = PackStamp({2106, 2, 7, 6, 28, 16, 0});  // past an unsigned one
  const Case cases[] = {
      {"y2038.txt", y2038, 0, y2038, "01.19.38 03:14:08"},
      {"y2040.txt", y2040, 0, y2040, "02.29.40 12:00:00"},
      {"y2106.txt", y2106, 0, y2106, "02.07.06 06:28:16"},
      {"y2107.txt", kLastStamp, 0, kLastStamp, "12.31.07 23:59:58"},
      {"y2200.txt", 0, 7258118400, kLastStamp, "12.31.07 23:59:58"},  // clamped
  };
  for (const Case& c : cases) {
    const std::string source = std::string("S:\\Data\\") + c.name;
    Write(source, c.name, c.stamp);
    if (c.stamp == 0) drives_.SetNativeWriteTime(source, c.native_time);
    // An older copy in the backup, from just before 2038.
    Write(std::string("T:\\Backup\\Data\\") + c.name, "old", PackStamp({2037, 12, 31, 0, 0, 0, 0}));
  }

  EXPECT_EQ(Run(), 1);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = std::string("T:\\Backup\\Data\\") + c.name;
    EXPECT_EQ(Read(target), c.name);
    EXPECT_EQ(StampOf(target), c.read_stamp);
    const std::string line = LogLineWith(std::string("File copied: S:\\Data\\") + c.name);
    EXPECT_NE(line.find(c.logged), std::string::npos) << line;
  }
  ExpectSecondRunChangesNothing();
}

TEST_F(FiguresBeyond32Bits, PathsFarLongerThan260CharactersAreCopiedAndLoggedShortened) {
#ifdef _WIN32
  GTEST_SKIP() << "the ANSI file functions stop at 260 characters (MAX_PATH)";
#endif
  // Twelve folders of 200 characters: about 2,450 characters in all.
  std::string below;
  for (char letter = 'a'; letter < 'a' + 12; ++letter) below += "\\" + std::string(200, letter);
  const std::string source = "S:\\Data" + below + "\\deep.txt";
  const std::string target = "T:\\Backup\\Data" + below + "\\deep.txt";
  Write(source, "deep", kNew);

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(Read(target), "deep");
  ASSERT_FALSE(Recorder().madeFolders.empty());
  EXPECT_EQ(Recorder().madeFolders.back(), "T:\\Backup\\Data" + below + "\\");
  // File entries show the path's head and tail around an ellipsis.
  const std::string line = LogLineWith("File copied: " + source.substr(0, 16));
  EXPECT_NE(line.find(source.substr(source.size() - 38)), std::string::npos) << line;
  EXPECT_EQ(line.find(below), std::string::npos) << line;
  ExpectSecondRunChangesNothing();
}

}  // namespace
}  // namespace tolvex::runtest
