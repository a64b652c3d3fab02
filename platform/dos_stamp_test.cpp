// Packing and unpacking of DOS stamps: the bit layout, truncation of odd
// seconds, clamping to the representable range, validity, and that the
// unsigned order of stamps is the order of time.
#include "platform/dos_stamp.h"

#include <gtest/gtest.h>

namespace tolvex {
namespace {

TEST(DosStampTest, PacksTheDosDateAndTimeWords) {
  struct Case {
    LocalTime time;
    uint32_t stamp;
  };
  const Case cases[] = {
      {{1980, 1, 1, 0, 0, 0, 0}, 0x00210000u},
      {{2000, 2, 29, 13, 45, 58, 0}, (20u << 25) | (2u << 21) | (29u << 16) | (13u << 11) | (45u << 5) | 29u},
      {{2024, 12, 31, 23, 59, 58, 0}, (44u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
      {{2107, 12, 31, 23, 59, 58, 0}, kLastStamp},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackStamp(c.time), c.stamp) << c.time.year;
    const LocalTime back = UnpackStamp(c.stamp);
    EXPECT_EQ(back.year, c.time.year);
    EXPECT_EQ(back.month, c.time.month);
    EXPECT_EQ(back.day, c.time.day);
    EXPECT_EQ(back.hour, c.time.hour);
    EXPECT_EQ(back.minute, c.time.minute);
    EXPECT_EQ(back.second, c.time.second);
  }
}

TEST(DosStampTest, OddSecondsAreTruncated) {
  EXPECT_EQ(PackStamp({2010, 6, 1, 8, 30, 59, 0}), PackStamp({2010, 6, 1, 8, 30, 58, 0}));
  EXPECT_EQ(PackStamp({2010, 6, 1, 8, 30, 1, 0}), PackStamp({2010, 6, 1, 8, 30, 0, 0}));
  EXPECT_EQ(UnpackStamp(PackStamp({2010, 6, 1, 8, 30, 59, 0})).second, 58);
}

TEST(DosStampTest, TimesOutsideTheRangeAreClampedToItsEnds) {
  EXPECT_EQ(PackStamp({1970, 1, 1, 0, 0, 0, 0}), kFirstStamp);
  EXPECT_EQ(PackStamp({1979, 12, 31, 23, 59, 59, 0}), kFirstStamp);
  EXPECT_EQ(PackStamp({2108, 1, 1, 0, 0, 0, 0}), kLastStamp);
  EXPECT_EQ(PackStamp({2500, 6, 15, 12, 0, 0, 0}), kLastStamp);
  const LocalTime last = UnpackStamp(kLastStamp);
  EXPECT_EQ(last.year, 2107);
  EXPECT_EQ(last.second, 58);
}

TEST(DosStampTest, UnsignedOrderIsTimeOrder) {
  const LocalTime times[] = {
      {1980, 1, 1, 0, 0, 0, 0},    {1980, 1, 1, 0, 0, 2, 0},   {1980, 1, 1, 0, 1, 0, 0},
      {1980, 1, 1, 1, 0, 0, 0},    {1980, 1, 2, 0, 0, 0, 0},   {1980, 2, 1, 0, 0, 0, 0},
      {1999, 12, 31, 23, 59, 58, 0}, {2000, 1, 1, 0, 0, 0, 0}, {2107, 12, 31, 23, 59, 58, 0},
  };
  for (size_t i = 1; i < std::size(times); ++i) {
    EXPECT_LT(PackStamp(times[i - 1]), PackStamp(times[i])) << i;
  }
}

TEST(DosStampTest, ValidityFollowsTheCalendar) {
  struct Case {
    LocalTime time;  // packed without clamping concerns: all in range
    bool valid;
  };
  const Case cases[] = {
      {{2000, 2, 29, 0, 0, 0, 0}, true},    {{2000, 2, 30, 0, 0, 0, 0}, false},
      {{2001, 2, 29, 0, 0, 0, 0}, false},   {{2100, 2, 29, 0, 0, 0, 0}, false},
      {{2004, 4, 31, 0, 0, 0, 0}, false},   {{2004, 12, 31, 23, 59, 58, 0}, true},
      {{2004, 13, 1, 0, 0, 0, 0}, false},   {{2004, 0, 1, 0, 0, 0, 0}, false},
      {{2004, 1, 0, 0, 0, 0, 0}, false},    {{2004, 1, 1, 24, 0, 0, 0}, false},
      {{2004, 1, 1, 0, 60, 0, 0}, false},   {{2004, 1, 1, 0, 0, 60, 0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidStamp(PackStamp(c.time)), c.valid)
        << c.time.year << "-" << c.time.month << "-" << c.time.day << " " << c.time.hour << ":"
        << c.time.minute << ":" << c.time.second;
  }
  EXPECT_TRUE(IsValidStamp(kFirstStamp));
  EXPECT_TRUE(IsValidStamp(kLastStamp));
  EXPECT_FALSE(IsValidStamp(0));
}

}  // namespace
}  // namespace tolvex
