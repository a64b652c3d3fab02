#include "log/tlog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "log/log_text.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

const std::string kRule(110, '-');
const char kLogPath[] = "S:\\logs\\run.log";

// The platform with a clock that the test sets; with `ticking` every reading
// is one second later than the one before.
class FixedClock : public PlatformWrapper {
 public:
  FixedClock() : PlatformWrapper(&DefaultPlatform()) {}
  LocalTime Now() override {
    LocalTime now = now_;
    if (ticking_) ++now_.second;
    return now;
  }
  void Set(const LocalTime& now, bool ticking = false) {
    now_ = now;
    ticking_ = ticking;
  }

 private:
  LocalTime now_{2026, 3, 14, 14, 3, 59, 6};
  bool ticking_ = false;
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The entry layouts through printf, for ASCII texts an independent oracle.
std::string Printf(const char* format, const std::string& a, const std::string& b,
                   const std::string& c = "", const std::string& d = "") {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, a.c_str(), b.c_str(), c.c_str(), d.c_str());
  return buffer;
}
std::string ShortLine(const std::string& label, const std::string& path) {
  return Printf("%21s: %-55s", label, path);
}
std::string LongLine(const std::string& label, const std::string& path, const std::string& size,
                     const std::string& stamp) {
  return Printf("%21s: %-55s   %s   %s", label, path, size, stamp);
}

// n characters "0123456789" repeated.
std::string Digits(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += static_cast<char>('0' + i % 10);
  return text;
}

const LogEntry kCopied = LogEntry::File("S:\\DATA\\REPORT.DOC", "T:\\BACKUP\\REPORT.DOC",
                                        "    12288", "     8192", "03/14/99 10:22:40",
                                        "03/10/99 17:05:12");

class TLogTest : public ::testing::Test {
 protected:
  TLogTest() {
    Sys().ReloadDrives();
    drives_.MakeDirs("S:\\logs\\");
    SetSys(&clock_);
  }
  ~TLogTest() override { SetSys(nullptr); }

  struct Settings {
    uint8_t dateTime = 0;
    uint8_t details = 0;
    uint8_t append = 0;
    uint8_t active = 1;
    std::string file = kLogPath;
    std::string job = "Daily.job";
    char dateSeparator = '/';
    char timeSeparator = ':';
  };

  // Runs `body` on an opened log of these settings and returns the file.
  std::string Run(const Settings& s, const std::function<void(TLog&)>& body) {
    TLog log(s.active, s.dateTime, s.details, s.file, s.append, s.job, s.dateSeparator,
             s.timeSeparator);
    log.Open();
    body(log);
    log.Close();
    return drives_.ReadFile(kLogPath);
  }
  std::string RunOne(const Settings& s, int code, const LogEntry& entry = LogEntry()) {
    return Run(s, [&](TLog& log) { log.Write(code, entry); });
  }

  TestDrives drives_{"ST"};
  FixedClock clock_;
};

TEST_F(TLogTest, HeaderAndFooterFollowDateTime) {
  const std::string date = "03/14/26 14:03:59";
  struct Case {
    uint8_t dateTime;
    std::string expected;
  };
  const Case cases[] = {
      {0, Lines({"", kRule, "Workfile: Daily.job", kRule})},
      {1, Lines({"", kRule, date, "Workfile: Daily.job", date, kRule})},
      {2, Lines({"", kRule, date, "Workfile: Daily.job", date, kRule})},
      {3, Lines({"", kRule, date, "Workfile: Daily.job", date, kRule})},
  };
  for (const Case& c : cases) {
    Settings s;
    s.dateTime = c.dateTime;
    const std::string log = Run(s, [](TLog& log) {
      log.Write(kEventStart);
      log.Write(kEventEnd);
    });
    EXPECT_EQ(log, c.expected) << "dateTime " << int(c.dateTime);
  }
}

TEST_F(TLogTest, TimeLinePrecedesEveryEntryOnlyWithDateTime2) {
  for (uint8_t date_time : {0, 1, 2, 3}) {
    Settings s;
    s.dateTime = date_time;
    s.details = 0;
    const std::string log = Run(s, [](TLog& log) {
      log.Write(kEventFileCopied, kCopied);
      log.Write(kEventFileErased, LogEntry::Erased("S:\\A.TXT", "        1", "x"));
      log.Write(kEventDirectoryDeleted, LogEntry::Folder("T:\\OLD\\"));
      log.Write(kEventUnusableName, LogEntry::Folder("/data/a:b"));
      log.Write(kEventUnreadableFolder, LogEntry::Folder("S:\\Locked\\"));
      log.Write(kEventLinkNotFollowed, LogEntry::Folder("S:\\Data\\Elsewhere\\"));
      log.Write(kEventRotationBlocked, LogEntry::Folder("T:\\Grandfather"));
      log.Write(kEventAborted);
    });
    const std::vector<std::string> entries = {
        ShortLine("File copied", "S:\\DATA\\REPORT.DOC"),
        ShortLine("File erased", "S:\\A.TXT"),
        "    Directory deleted: T:\\OLD\\",
        "        Unusable name: /data/a:b",
        "    Unreadable folder: S:\\Locked\\",
        "    Link not followed: S:\\Data\\Elsewhere\\",
        "     Rotation blocked: T:\\Grandfather",
    };
    std::vector<std::string> expected;
    for (const std::string& entry : entries) {
      if (date_time == 2) expected.push_back("14:03:59");
      expected.push_back(entry);
    }
    expected.push_back("Aborted by user.");
    EXPECT_EQ(log, Lines(expected)) << "dateTime " << int(date_time);
  }
}

TEST_F(TLogTest, DateLineTakesOneClockReadingAndTheGivenSeparators) {
  // The separators come from the caller as any byte: a control character
  // among them is shown as '?', as in every logged text (a line break would
  // split each date line in two).
  struct Case {
    char date_separator;
    char time_separator;
    const char* start;  // the date line of the header
    const char* entry;  // the time line before an entry
    const char* end;    // the date line of the footer
  } cases[] = {
      {'-', 'h', "01-05-01 09h07h30", "09h07h31", "01-05-01 09h07h32"},
      {'\n', '\0', "01?05?01 09?07?30", "09?07?31", "01?05?01 09?07?32"},
  };
  for (const Case& c : cases) {
    clock_.Set({2001, 1, 5, 9, 7, 30, 5}, /*ticking=*/true);
    Settings s;
    s.dateTime = 2;
    s.dateSeparator = c.date_separator;
    s.timeSeparator = c.time_separator;
    const std::string log = Run(s, [](TLog& log) {
      log.Write(kEventStart);                                          // reading 30
      log.Write(kEventDirectoryDeleted, LogEntry::Folder("T:\\X\\"));  // reading 31
      log.Write(kEventEnd);                                            // reading 32
    });
    EXPECT_EQ(log, Lines({"", kRule, c.start, "Workfile: Daily.job", c.entry,
                          "    Directory deleted: T:\\X\\", c.end, kRule}))
        << c.start;
  }
}

TEST_F(TLogTest, FileEventsFollowDetails) {
  struct Event {
    int code;
    std::string label;
    std::string second;
  };
  const Event events[] = {{kEventFileCopied, "File copied", "to"},
                          {kEventFileSkipped, "File skipped", "and"},
                          {kEventCopyError, "Error at copying", "to"}};
  for (const Event& e : events) {
    const std::string first = LongLine(e.label, kCopied.path, kCopied.sizeText, kCopied.stampText);
    const std::string second = LongLine(e.second, kCopied.counterPath, kCopied.counterSizeText,
                                        kCopied.counterStampText);
    const std::string by_details[] = {Lines({ShortLine(e.label, kCopied.path)}), Lines({first}),
                                      Lines({first, second}), "", ""};
    for (uint8_t details = 0; details <= 4; ++details) {
      Settings s;
      s.details = details;
      EXPECT_EQ(RunOne(s, e.code, kCopied), by_details[details])
          << e.label << ", details " << int(details);
    }
  }
}

TEST_F(TLogTest, CounterpartMissingLeavesItsTextsEmpty) {
  Settings s;
  s.details = 2;
  const LogEntry orphan =
      LogEntry::File("S:\\NEW.TXT", "T:\\NEW.TXT", "      512", "", "03/14/99 09:00:00", "");
  EXPECT_EQ(RunOne(s, kEventFileCopied, orphan),
            Lines({LongLine("File copied", "S:\\NEW.TXT", "      512", "03/14/99 09:00:00"),
                   LongLine("to", "T:\\NEW.TXT", "", "")}));
}

// A folder whose mode the run could not give: a copy error of the folder,
// without the columns of a size and a stamp it does not have.
TEST_F(TLogTest, CopyErrorOfAFolderHasNoColumns) {
  const LogEntry folder =
      LogEntry::File("S:\\Data\\Secret\\", "T:\\Backup\\Data\\Secret\\", "", "", "", "");
  const std::string first = ShortLine("Error at copying", folder.path);
  const std::string by_details[] = {Lines({first}), Lines({first}),
                                    Lines({first, ShortLine("to", folder.counterPath)}), ""};
  for (uint8_t details = 0; details <= 3; ++details) {
    Settings s;
    s.details = details;
    EXPECT_EQ(RunOne(s, kEventCopyError, folder), by_details[details]) << int(details);
  }
}

TEST_F(TLogTest, EraseEntryHasOneLineAtMost) {
  const LogEntry erased = LogEntry::Erased("T:\\OLD.TMP", "       64", "12/31/99 23:59:58");
  for (const auto& [code, label] : {std::pair{kEventFileErased, "File erased"},
                                    std::pair{kEventEraseError, "Error at erasing"}}) {
    const std::string long_line =
        Lines({LongLine(label, erased.path, "       64", "12/31/99 23:59:58")});
    const std::string by_details[] = {Lines({ShortLine(label, erased.path)}), long_line,
                                      long_line, ""};
    for (uint8_t details = 0; details <= 3; ++details) {
      Settings s;
      s.details = details;
      EXPECT_EQ(RunOne(s, code, erased), by_details[details]) << label << int(details);
    }
  }
}

TEST_F(TLogTest, FixedEventsWriteTheirLine) {
  struct Case {
    int code;
    LogEntry entry;
    std::string line;
  };
  const Case cases[] = {
      {kEventNoSelections, {}, "Error: No source directories or files specified."},
      {kEventIdentical, {}, "Error: Source and destination are identical."},
      {kEventDriveNotFound, LogEntry::Drive('Q'), "Error: Drive Q: not found."},
      {kEventDriveNotFound, LogEntry::Drive(0), "Error: Drive ?: not found."},  // no letter
      {kEventMidnight, {},
       "Hint: It is shortly after midnight. The last day is included in the update."},
      {kEventAborted, {}, "Aborted by user."},
      {kEventNoFiles, {}, "No files found."},
      {kEventDrivesMeet, {}, "Error: Source directories of different drives meet in the destination."},
      {kEventRunFailed, {}, "Error: The run failed (internal error)."},
      {kEventEraseLimit, {},
       "Error: The plan erases more files than the erase limit allows; nothing was done."},
      {kEventNotLocked, {}, "Warning: The destination could not be locked against another run."},
      {kEventFlatBothWays, {}, "Error: A flat destination cannot be updated both ways."},
      {kEventCaseApart, {},
       "Error: Source directories that differ only in letter case meet in the destination."},
      {kEventSyncStateFailed, {},
       "Warning: The sync state could not be written; the next run judges by the one before."},
      {kEventMoved, LogEntry::Folder("S:\\Data\\sed-docs\\sed.html"),
       "                Moved: S:\\Data\\sed-docs\\sed.html"},
      {kEventUnreadableFolder, LogEntry::Folder("S:\\Data\\Locked\\"),
       "    Unreadable folder: S:\\Data\\Locked\\"},
      {kEventRotationBlocked, LogEntry::Folder("T:\\Backup\\Grandfather\\"),
       "     Rotation blocked: T:\\Backup\\Grandfather\\"},
      {kEventLinkNotFollowed, LogEntry::Folder("S:\\Data\\Elsewhere\\"),
       "    Link not followed: S:\\Data\\Elsewhere\\"},
      // A folder the removal could not remove: no size, the folder layout.
      {kEventEraseError, LogEntry::Folder("T:\\Backup\\Gone\\"),
       "     Error at erasing: T:\\Backup\\Gone\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunOne(Settings(), c.code, c.entry), Lines({c.line})) << c.code;
  }
}

TEST_F(TLogTest, UnknownCodesWriteNothing) {
  // 10012 and 10013 reach NotifyProc only; 10106-10113 are reports.
  for (int code : {0, -1, 10000, 10012, 10013, 10099, 10103, 10199, 10254, 10256}) {
    Settings s;
    s.dateTime = 2;
    s.details = 2;
    EXPECT_EQ(RunOne(s, code, kCopied), "") << code;
  }
}

TEST_F(TLogTest, ShortfallShowsFullMegabytes) {
  struct Case {
    uint64_t bytes;
    const char* megabytes;
  };
  const Case cases[] = {
      {1572864, "1.5"},
      {104858, "0.1"},
      {uint64_t{1} << 32, "4096.0"},                    // wraps to 0 in 32 bits
      {(uint64_t{1} << 32) + 1572864, "4097.5"},        // wraps to 1.5 in 32 bits
      {uint64_t{5} * 1024 * 1024 * 1024 + 536870912, "5632.0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunOne(Settings(), kEventLacksSpace, LogEntry::Shortfall('D', c.bytes)),
              Lines({std::string("Warning: Drive D: lacks ") + c.megabytes +
                     " MB of storage space."}))
        << c.bytes;
  }
}

TEST(LogSizeTextTest, RightAlignsFullValuesInNineColumns) {
  EXPECT_EQ(LogSizeText(0), "        0");
  EXPECT_EQ(LogSizeText(12288), "    12288");
  EXPECT_EQ(LogSizeText(999999999), "999999999");
  EXPECT_EQ(LogSizeText(uint64_t{5} << 30), "5368709120");  // above 4 GiB: not wrapped
}

TEST_F(TLogTest, LongPathsAreShortenedInFileEntriesOnly) {
  const std::string exact = "S:\\" + Digits(52);     // 55 characters
  const std::string over = "T:\\" + Digits(53);      // 56 characters
  const std::string ellipsis = kNativeText == TextMode::kUtf8 ? "\xE2\x80\xA6" : "\x85";
  const std::string over_short = over.substr(0, 16) + ellipsis + over.substr(56 - 38);
  Settings s;
  s.details = 2;
  const std::string log = Run(s, [&](TLog& log) {
    log.Write(kEventFileCopied, LogEntry::File(exact, over, "1", "2", "a", "b"));
    log.Write(kEventDirectoryDeleted, LogEntry::Folder(over + "\\" + Digits(100) + "\\"));
  });
  EXPECT_EQ(log, Lines({"          File copied: " + exact + "   1   a",
                        "                   to: " + over_short + "   2   b",
                        "    Directory deleted: " + over + "\\" + Digits(100) + "\\"}));
}

#ifndef _WIN32
// The POSIX code page is UTF-8: columns and the shortening count characters.
const std::string kEuro = "\xE2\x82\xAC";  // U+20AC, three bytes
const std::string kUmlaut = "\xC3\xA4";    // U+00E4, two bytes

std::string Repeat(const std::string& piece, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += piece;
  return text;
}

TEST_F(TLogTest, Utf8PathsArePaddedAndShortenedByCharacters) {
  const std::string fifty = "S:\\" + Repeat(kEuro, 47);      // 50 characters, 144 bytes
  const std::string fifty_six = fifty + kUmlaut + kUmlaut + ".txt";  // 56 characters
  const std::string shortened =
      "S:\\" + Repeat(kEuro, 13) + "\xE2\x80\xA6" + Repeat(kEuro, 32) + kUmlaut + kUmlaut + ".txt";
  Settings s;
  s.details = 1;
  const std::string log = Run(s, [&](TLog& log) {
    log.Write(kEventFileCopied, LogEntry::File(fifty, "", "1", "", "a", ""));
    log.Write(kEventFileCopied, LogEntry::File(fifty_six, "", "1", "", "a", ""));
    log.Write(kEventFileErased, LogEntry::Erased(fifty_six, "1", "a"));
  });
  EXPECT_EQ(log, Lines({"          File copied: " + fifty + "     " + "   1   a",
                        "          File copied: " + shortened + "   1   a",
                        "          File erased: " + shortened + "   1   a"}));
}
#endif

TEST_F(TLogTest, PercentSignsAreWrittenLiterally) {
  Settings s;
  s.details = 1;
  s.job = "%s%n%d job";
  const std::string path = "S:\\100%\\%s%n%x.txt";
  const std::string log = Run(s, [&](TLog& log) {
    log.Write(kEventStart);
    log.Write(kEventFileCopied, LogEntry::File(path, "", "%n", "", "%s", ""));
    log.Write(kEventDirectoryDeleted, LogEntry::Folder("T:\\%n%n%n\\"));
  });
  EXPECT_EQ(log, Lines({"", kRule, "Workfile: %s%n%d job",
                        "          File copied: " + path + std::string(55 - path.size(), ' ') +
                            "   %n   %s",
                        "    Directory deleted: T:\\%n%n%n\\"}));
}

TEST_F(TLogTest, ControlCharactersCannotBreakALine) {
  const std::string log = RunOne(Settings(), kEventUnusableName,
                                 LogEntry::Folder("/data/bad\r\nDirectory deleted: x"));
  EXPECT_EQ(log, Lines({"        Unusable name: /data/bad??Directory deleted: x"}));
}

TEST_F(TLogTest, InactiveLogTouchesNoFile) {
  Settings s;
  s.active = 0;
  EXPECT_EQ(RunOne(s, kEventStart), "");
  EXPECT_FALSE(drives_.Exists(kLogPath));

  drives_.WriteFile(kLogPath, "earlier run\r\n");
  EXPECT_EQ(RunOne(s, kEventStart), "earlier run\r\n");
}

TEST_F(TLogTest, AppendKeepsEarlierRunsAndReplaceEmptiesTheFile) {
  drives_.WriteFile(kLogPath, "earlier run\r\n");
  Settings s;
  s.append = 1;
  EXPECT_EQ(RunOne(s, kEventNoFiles), Lines({"earlier run", "No files found."}));
  EXPECT_EQ(RunOne(s, kEventAborted), Lines({"earlier run", "No files found.", "Aborted by user."}));

  s.append = 0;
  TLog log(1, 0, 0, kLogPath, 0, "job", '/', ':');
  log.Open();  // the content is gone before anything is written
  EXPECT_EQ(drives_.ReadFile(kLogPath), "");
  log.Close();
  EXPECT_EQ(RunOne(s, kEventNoFiles), Lines({"No files found."}));
}

// A log that cannot be opened writes nothing anywhere, and says that it
// failed; an inactive one never fails.
TEST_F(TLogTest, UnopenableLogIsSilentAndSaysItFailed) {
  drives_.MakeDirs("S:\\folder\\");
  for (const char* path : {"S:\\missing\\run.log", "S:\\folder", "Q:\\run.log", ""}) {
    TLog log(1, 2, 2, path, 0, "job", '/', ':');
    log.Open();
    EXPECT_FALSE(log.IsOpen()) << path;
    log.Write(kEventStart);
    log.Write(kEventFileCopied, kCopied);
    log.Close();
    EXPECT_TRUE(log.Failed()) << path;
  }
  EXPECT_FALSE(drives_.Exists("S:\\missing"));
  TLog inactive(0, 2, 2, "S:\\missing\\run.log", 0, "job", '/', ':');
  inactive.Open();
  inactive.Write(kEventStart);
  inactive.Close();
  EXPECT_FALSE(inactive.Failed());
}

TEST_F(TLogTest, EachEventReachesTheFileAtOnceAndCloseEndsWriting) {
  TLog log(1, 0, 0, kLogPath, 0, "job", '/', ':');
  log.Open();
  ASSERT_TRUE(log.IsOpen());
  log.Write(kEventNoFiles);
  EXPECT_EQ(drives_.ReadFile(kLogPath), Lines({"No files found."}));
  log.Close();
  EXPECT_FALSE(log.IsOpen());
  log.Write(kEventAborted);
  log.Close();
  EXPECT_EQ(drives_.ReadFile(kLogPath), Lines({"No files found."}));
}

std::string ReadGolden(const std::string& name) {
  std::ifstream in(std::string(TOLVEX_LOG_TESTDATA) + "/" + name, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The reference sequence of testdata/make_reference.py.
TEST_F(TLogTest, ReferenceSequenceMatchesTheGoldenFile) {
  const std::string golden = ReadGolden(kNativeText == TextMode::kUtf8
                                            ? "reference-utf8.log"
                                            : "reference-ansi.log");
  ASSERT_FALSE(golden.empty());
  const std::string long_tail = "\\Projects\\2026\\Quarterly reports\\Final versions\\"
                                "Summary of the year.xlsx";
  Settings s;
  s.dateTime = 2;
  s.details = 2;
  s.dateSeparator = '.';
  s.timeSeparator = ':';
  s.job = "S:\\Jobs\\Daily 100% backup.job";
  const std::string log = Run(s, [&](TLog& log) {
    log.Write(kEventStart);
    log.Write(kEventMidnight);
    log.Write(kEventFileCopied,
              LogEntry::File("S:\\DATA\\REPORT.DOC", "T:\\BACKUP\\DATA\\REPORT.DOC", "    12288",
                             "     8192", "03.14.99 10:22:40", "03.10.99 17:05:12"));
    log.Write(kEventFileCopied,
              LogEntry::File("S:\\DATA\\NEW.TXT", "T:\\BACKUP\\DATA\\NEW.TXT", "      512", "",
                             "03.14.99 09:00:00", ""));
    log.Write(kEventFileSkipped,
              LogEntry::File("S:\\DATA" + long_tail, "T:\\BACKUP\\DATA" + long_tail, "  1048576",
                             "  1048576", "01.02.26 08:15:30", "01.02.26 08:15:30"));
    log.Write(kEventFileErased,
              LogEntry::Erased("T:\\BACKUP\\DATA\\OLD.TMP", "       64", "12.31.99 23:59:58"));
    log.Write(kEventCopyError,
              LogEntry::File("S:\\DATA\\LOCKED.DB", "T:\\BACKUP\\DATA\\LOCKED.DB", "     4096",
                             "     2048", "03.14.26 13:00:00", "03.13.26 13:00:00"));
    log.Write(kEventDirectoryDeleted, LogEntry::Folder("T:\\BACKUP\\DATA\\EMPTY\\"));
    log.Write(kEventLacksSpace, LogEntry::Shortfall('T', 1572864));
    log.Write(kEventEnd);
  });
  EXPECT_EQ(log, golden);
}

}  // namespace
}  // namespace tolvex
