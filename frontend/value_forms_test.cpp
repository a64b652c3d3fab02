#include "frontend/value_forms.h"

#include <gtest/gtest.h>

namespace tolvex::frontend {
namespace {

constexpr uint32_t Stamp(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
         (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
         (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
}

TEST(ParseDate, PacksLocalDatesAsDosStamps) {
  struct Case {
    const char* text;
    uint32_t stamp;
  } cases[] = {
      {"2026-12-09 14:30:00", 0x5D8973C0u},  // the packed layout, worked by hand
      {"2026-12-09 14:30:00", Stamp(2026, 12, 9, 14, 30, 0)},
      {"2026-12-09 14:30:59", Stamp(2026, 12, 9, 14, 30, 58)},  // seconds kept even
      {"2026-12-09 14:30", Stamp(2026, 12, 9, 14, 30, 0)},
      {"2026-12-09", Stamp(2026, 12, 9, 0, 0, 0)},
      {"1980-01-01 00:00:00", 0x00210000u},
      {"2107-12-31 23:59:58", Stamp(2107, 12, 31, 23, 59, 58)},
      {"2024-02-29", Stamp(2024, 2, 29, 0, 0, 0)},
      {"none", 0},
      {"0", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDate(c.text), c.stamp) << c.text;
  }
}

TEST(ParseDate, RefusesWhatIsNoDateOrLiesOutsideTheStampRange) {
  for (const char* text :
       {"", "2026-12-9", "2026/12/09", "2026-13-01", "2026-02-29", "2023-02-29", "2026-04-31",
        "1979-12-31 23:59:59", "2108-01-01", "2026-12-09 24:00:00", "2026-12-09 12:60",
        "2026-12-09 12:00:61", "2026-12-09T12:00:00", "2026-12-09 12:00:00x", "2026-12-09 1",
        "yesterday"}) {
    EXPECT_EQ(ParseDate(text), std::nullopt) << text;
  }
}

TEST(FormatStamp, ShowsTheLocalDateAndTime) {
  EXPECT_EQ(FormatStamp(Stamp(2026, 12, 9, 14, 30, 0)), "2026-12-09 14:30:00");
  EXPECT_EQ(FormatStamp(0), "none");
  EXPECT_EQ(ParseDate(FormatStamp(Stamp(2001, 1, 5, 7, 8, 10))), Stamp(2001, 1, 5, 7, 8, 10));
}

TEST(ParseColour, TurnsRgbIntoTheWindowsByteOrder) {
  EXPECT_EQ(ParseColour("#112233"), 0x00332211u);
  EXPECT_EQ(ParseColour("#FF0000"), 0x000000FFu);
  EXPECT_EQ(ParseColour("#0000ff"), 0x00FF0000u);
  EXPECT_EQ(FormatColour(0x00332211u), "#112233");
  for (const char* text : {"112233", "#11223", "#1122334", "#GG0000", "red", ""}) {
    EXPECT_EQ(ParseColour(text), std::nullopt) << text;
  }
}

TEST(ParseNumber, ReadsDecimalAndHexadecimalWithin32Bits) {
  EXPECT_EQ(ParseNumber("42"), 42);
  EXPECT_EQ(ParseNumber("-1"), -1);
  EXPECT_EQ(ParseNumber("0x40"), 0x40);
  EXPECT_EQ(ParseNumber("0XC0"), 0xC0);
  EXPECT_EQ(ParseNumber("2147483647"), 2147483647);
  for (const char* text : {"", "-", "1.5", "4 2", "0x", "0x1G", "abc", "2147483648", "0x123456789"}) {
    EXPECT_EQ(ParseNumber(text), std::nullopt) << text;
  }
}

TEST(ParseFlagAndSeparator, AcceptTheDocumentedWordsOnly) {
  EXPECT_EQ(ParseFlag("Yes"), true);
  EXPECT_EQ(ParseFlag("off"), false);
  EXPECT_EQ(ParseFlag("2"), std::nullopt);
  EXPECT_EQ(ParseSeparator("."), '.');
  EXPECT_EQ(ParseSeparator("--"), std::nullopt);
  EXPECT_EQ(ParseSeparator(" "), std::nullopt);
  EXPECT_EQ(ParseSeparator(""), std::nullopt);
}

// MaxErase: a count, a share, both, or none; written back as read.
TEST(ParseEraseLimit, ReadsCountsSharesBothAndNone) {
  const struct {
    const char* text;
    int32_t count;
    int32_t percent;
    const char* shown;
  } cases[] = {
      {"10 and 50%", 10, 50, "10 and 50%"}, {"100", 100, 0, "100"},  {"20%", 0, 20, "20%"},
      {" None ", -1, 0, "none"},            {"0", 0, 0, "0"},        {"0%", 0, 0, "0"},
      {"5 AND 100 %", 5, 100, "5 and 100%"}, {"0 and 50%", 0, 50, "50%"},
  };
  for (const auto& c : cases) {
    const auto limit = ParseEraseLimit(c.text);
    ASSERT_TRUE(limit) << c.text;
    EXPECT_EQ(limit->count, c.count) << c.text;
    EXPECT_EQ(limit->percent, c.percent) << c.text;
    EXPECT_EQ(FormatEraseLimit(*limit), c.shown) << c.text;
  }
  for (const char* text : {"", "-1", "101%", "ten", "10 or 50%", "50% and 10", "10 and", "1.5", "%"}) {
    EXPECT_FALSE(ParseEraseLimit(text)) << text;
  }
}

}  // namespace
}  // namespace tolvex::frontend
