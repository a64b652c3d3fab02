// Conformance of the system services: MulDiv's rounding, text helpers, the
// private profile, free space and the local time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

TEST(ConformanceMulDiv, RoundsHalvesAwayFromZeroAndFailsWithMinusOne) {
  struct Case {
    int32_t a, b, c, result;
  };
  const Case cases[] = {
      {5, 1, 2, 3},       {-5, 1, 2, -3},     {5, -1, 2, -3},     {-5, -1, 2, 3},
      {5, 1, -2, -3},     {7, 1, 3, 2},       {8, 1, 3, 3},       {-8, 1, 3, -3},
      {1, 1, 3, 0},       {0, 5, 7, 0},       {10, 30, 3, 100},   {1, 30, 3, 10},
      {65536, 65536, 65536, 65536},  // the product overflows 32 bits, the result fits
      {2147483647, 2, 2, 2147483647},
      {-2147483647, 1, 1, -2147483647},
      {2147483647, 2, 1, -1},          // too large
      {-2147483647 - 1, 1, 1, -1},     // below -2147483647
      {1, 1, 0, -1},                   // divisor 0
      {0, 0, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sys().MulDiv(c.a, c.b, c.c), c.result) << c.a << " * " << c.b << " / " << c.c;
  }
}

TEST(ConformanceText, UpperCaseConvertsAsciiLetters) {
  struct Case {
    const char* text;
    const char* upper;
  };
  const Case cases[] = {
      {"", ""}, {"abc", "ABC"}, {"MiXeD 09_-", "MIXED 09_-"}, {"c:\\data\\x.txt", "C:\\DATA\\X.TXT"},
      {"{|}~`@[", "{|}~`@["},
  };
  for (const Case& c : cases) EXPECT_EQ(Sys().UpperCase(c.text), c.upper) << c.text;
}

TEST(ConformanceText, UpperCaseOfBytesAboveAscii) {
  // The ANSI code page decides: cp1252 on Windows (0xE9 e-acute to 0xC9),
  // UTF-8 on POSIX, where only ASCII letters change.
#ifdef _WIN32
  EXPECT_EQ(Sys().UpperCase("caf\xE9"), "CAF\xC9");
#else
  EXPECT_EQ(Sys().UpperCase("caf\xC3\xA9"), "CAF\xC3\xA9");
#endif
}

TEST(ConformanceText, CompareExactSeesLetterCase) {
  EXPECT_EQ(Sys().CompareExact("", ""), 0);
  EXPECT_EQ(Sys().CompareExact("Same.txt", "Same.txt"), 0);
  EXPECT_NE(Sys().CompareExact("same.txt", "SAME.TXT"), 0);
  EXPECT_NE(Sys().CompareExact(".", ".."), 0);
  EXPECT_LT(Sys().CompareExact("abc", "abd"), 0);
  EXPECT_GT(Sys().CompareExact("abd", "abc"), 0);
  EXPECT_LT(Sys().CompareExact("ab", "abc"), 0);
  EXPECT_LT(Sys().CompareExact("", "a"), 0);
}

// ---------------------------------------------------------------------------
// The private profile, on a file with a drive path (so both back ends write
// it into the test drive).

const char kProfile[] = "S:\\prof\\Test.ini";

class ConformanceProfile : public testing::Test {
 protected:
  void SetUp() override { drives_.MakeDirs("S:\\prof"); }
  TestDrives drives_;
};

TEST_F(ConformanceProfile, ValuesRoundTripWithSectionsAndKeysInAnyCase) {
  ASSERT_TRUE(Sys().WriteProfileString(kProfile, "Overview Dialog", "Left", "120"));
  ASSERT_TRUE(Sys().WriteProfileString(kProfile, "Overview Dialog", "Top", "45"));
  ASSERT_TRUE(Sys().WriteProfileString(kProfile, "Other", "Left", "7"));
  EXPECT_EQ(Sys().ProfileInt(kProfile, "overview dialog", "LEFT", 0), 120u);
  EXPECT_EQ(Sys().ProfileInt(kProfile, "OVERVIEW DIALOG", "top", 0), 45u);
  EXPECT_EQ(Sys().ProfileInt(kProfile, "other", "left", 0), 7u);
  EXPECT_EQ(Sys().ProfileString(kProfile, "Overview Dialog", "Left", "none"), "120");
  ASSERT_TRUE(Sys().WriteProfileString(kProfile, "OVERVIEW dialog", "left", "-3"));
  EXPECT_EQ(Sys().ProfileInt(kProfile, "Overview Dialog", "Left", 0), 0xFFFFFFFDu);
  EXPECT_EQ(Sys().ProfileInt(kProfile, "Overview Dialog", "Top", 0), 45u);
}

TEST_F(ConformanceProfile, MissingFileSectionOrKeyGivesTheFallback) {
  EXPECT_EQ(Sys().ProfileInt("S:\\prof\\None.ini", "Overview Dialog", "Left", 77), 77u);
  EXPECT_EQ(Sys().ProfileString("S:\\prof\\None.ini", "Overview Dialog", "Left", "dflt"), "dflt");
  ASSERT_TRUE(Sys().WriteProfileString(kProfile, "Overview Dialog", "Left", "1"));
  EXPECT_EQ(Sys().ProfileInt(kProfile, "Other Dialog", "Left", 77), 77u);
  EXPECT_EQ(Sys().ProfileInt(kProfile, "Overview Dialog", "Right", 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST_F(ConformanceProfile, WritingIntoAMissingFolderFails) {
  EXPECT_FALSE(Sys().WriteProfileString("S:\\none\\Test.ini", "Section", "Key", "1"));
  EXPECT_FALSE(drives_.Exists("S:\\none"));
}

TEST_F(ConformanceProfile, IntegersAreReadLikeGetPrivateProfileInt) {
  struct Case {
    const char* value;
    uint32_t result;
  };
  const Case cases[] = {
      {"0", 0},
      {"1", 1},
      {"+1", 1},
      {"-1", 0xFFFFFFFFu},
      {"4294967296", 0},            // wraps modulo 2^32
      {"4294967297", 1},
      {"-4294967297", 0xFFFFFFFFu},
      {"42A94967297", 42},          // stops at the first non-digit
      {"B4294967297", 0},
      {"  17  ", 17},               // surrounding blanks are not part of the value
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Sys().WriteProfileString(kProfile, "Numbers", "Value", c.value));
    EXPECT_EQ(Sys().ProfileInt(kProfile, "Numbers", "Value", 99), c.result) << '"' << c.value << '"';
  }
}

// ---------------------------------------------------------------------------

TEST(ConformanceSystem, MappedDriveHasFreeSpace) {
  TestDrives drives;
  uint64_t free_bytes = 0;
  ASSERT_EQ(Sys().DiskFreeSpace("S:\\", &free_bytes), kErrOk);
  EXPECT_GT(free_bytes, 0u);
}

// Sakamoto's rule: 0 = Sunday.
int WeekdayOf(int year, int month, int day) {
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

// What a folder's file system tells apart and holds. Windows folders
// ignore case and hold only Windows names; the test folders of the POSIX
// back end lie on a Linux file system that tells case apart and holds any
// name (ext4, tmpfs, overlayfs), or on one it does not know, which counts
// as the Windows side. Missing folders give the codes of any other call.
TEST(ConformanceSystem, FolderNameRulesTellCaseAndNames) {
  TestDrives drives;
  drives.MakeDirs("S:\\rules\\sub");
  FolderNameRules rules{true, true};
  for (const char* folder : {"S:\\", "S:\\rules", "S:\\rules\\sub\\", "s:\\RULES\\SUB"}) {
    ASSERT_EQ(Sys().GetFolderNameRules(folder, &rules), kErrOk) << folder;
#ifdef _WIN32
    EXPECT_FALSE(rules.tells_case_apart) << folder;
    EXPECT_FALSE(rules.holds_any_name) << folder;
#else
    // No Linux file system this back end knows holds any name yet folds case
    // (the casefold attribute aside, which no folder here carries).
    EXPECT_EQ(rules.tells_case_apart, rules.holds_any_name) << folder;
#endif
  }
  EXPECT_EQ(Sys().GetFolderNameRules("S:\\rules\\nope", &rules), kErrFileNotFound);
  EXPECT_EQ(Sys().GetFolderNameRules("S:\\nope\\deeper", &rules), kErrPathNotFound);
}

TEST(ConformanceSystem, LocalTimeIsACalendarTimeWithItsWeekday) {
  const LocalTime now = Sys().Now();
  EXPECT_GE(now.year, 2024);
  ASSERT_GE(now.month, 1);
  ASSERT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 59);
  EXPECT_EQ(now.weekday, WeekdayOf(now.year, now.month, now.day));
}

// The local time is UTC plus the offset (the one every stamp carries), so
// that a time kept in UTC is turned back into this run's local time.
TEST(ConformanceSystem, TheLocalOffsetTurnsUtcIntoTheLocalTime) {
  using namespace std::chrono;
  const auto utc = floor<seconds>(system_clock::now());
  const LocalTime now = Sys().Now();
  const int32_t offset = Sys().LocalOffsetMinutes();
  EXPECT_LE(std::abs(offset), 14 * 60);
  const year_month_day date{year{now.year}, month{static_cast<unsigned>(now.month)},
                            day{static_cast<unsigned>(now.day)}};
  const auto local = sys_days{date} + hours{now.hour} + minutes{now.minute} + seconds{now.second};
  const auto apart = local - minutes{offset} - utc;
  EXPECT_LE(std::abs(apart.count()), 5) << "offset " << offset;
}

}  // namespace
}  // namespace tolvex
