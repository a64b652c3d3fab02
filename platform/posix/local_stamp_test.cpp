// The arithmetic stamp conversion against the C library's own local time:
// for any instant, shifting by the offset localtime_r reports for it and
// splitting by calendar arithmetic must give the fields localtime_r gives.
#ifndef _WIN32

#include "platform/posix/local_stamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/dos_stamp.h"

namespace tolvex::posix {
namespace {

// Sets TZ for the life of the object and puts the old value back.
class ZoneForTest {
 public:
  explicit ZoneForTest(const char* zone) {
    const char* saved = std::getenv("TZ");
    had_ = saved != nullptr;
    if (had_) saved_ = saved;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneForTest() {
    if (had_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string saved_;
};

// The stamp of `t` as localtime_r sees it, with the offset it applied.
uint32_t LibraryStamp(int64_t t, int64_t* offset) {
  const time_t as_time = static_cast<time_t>(t);
  struct tm parts;
  EXPECT_NE(localtime_r(&as_time, &parts), nullptr);
  *offset = parts.tm_gmtoff;
  if (parts.tm_year + 1900 < 1980) return kFirstStamp;
  if (parts.tm_year + 1900 > 2107) return kLastStamp;
  return PackStamp(LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                             parts.tm_min, parts.tm_sec, 0});
}

// Zones in the POSIX TZ form, so no zone database is needed: none, both
// hemispheres with daylight saving, and offsets that are not whole hours.
const char* const kZones[] = {
    "UTC0",
    "CET-1CEST,M3.5.0,M10.5.0/3",
    "EST5EDT,M3.2.0,M11.1.0",
    "ACST-9:30ACDT,M10.1.0,M4.1.0/3",
    "NPT-5:45",
    "HST10",
};

// Instants (UTC seconds) at the edges that arithmetic gets wrong first.
const int64_t kInstants[] = {
    0,           // 1970: clamped to the first stamp
    315532799,   // the second before 1980-01-01 00:00:00 UTC
    315532800,   // 1980-01-01 00:00:00 UTC
    315532801,
    946684799,   // 1999-12-31 23:59:59
    946684800,   // 2000-01-01
    951825600,   // 2000-02-29 12:00, a leap day of a century year
    951868799,   // 2000-02-29 23:59:59
    1616893199,  // 2021-03-28 00:59:59 UTC, the second before CEST starts
    1616893200,  // CEST starts
    1635641999,  // 2021-10-31 00:59:59 UTC, the second before CEST ends
    1635642000,  // CEST ends
    1615705199,  // 2021-03-14 06:59:59 UTC, the second before EDT starts
    1615705200,  // EDT starts
    1636264799,  // the second before EDT ends
    1636264800,  // EDT ends
    1617467400,  // 2021-04-03 16:30 UTC, the end of ACDT
    1633192200,  // 2021-10-02 16:30 UTC, the start of ACDT
    1709251199,  // 2024-02-29 23:59:59
    1709251200,  // 2024-03-01 00:00:00
    1709251201,  // an odd second: truncated to even
    4107542399,  // 2100-02-28 23:59:59: 2100 is no leap year
    4107542400,  // 2100-03-01
    4354819198,  // 2107-12-31 23:59:58, the last stamp
    4354819199,
    4354819200,  // 2108: clamped to the last stamp
    -86400,      // before 1970
};

TEST(LocalStampTest, ArithmeticMatchesTheLibraryAtEdgeInstants) {
  for (const char* zone : kZones) {
    const ZoneForTest set(zone);
    for (const int64_t t : kInstants) {
      SCOPED_TRACE(std::string(zone) + " at " + std::to_string(t));
      int64_t offset = 0;
      const uint32_t expected = LibraryStamp(t, &offset);
      EXPECT_EQ(StampFromUnixTime(t, offset), expected);
    }
  }
}

// Every day from 1979 to 2109 at a time of day that moves by a little over
// an hour each day, so every month end, leap day and hour is crossed.
TEST(LocalStampTest, ArithmeticMatchesTheLibraryEveryDayOfTheRange) {
  for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "ACST-9:30ACDT,M10.1.0,M4.1.0/3"}) {
    const ZoneForTest set(zone);
    int failures = 0;
    for (int64_t t = 283996800; t < 4417977600 && failures < 5; t += 86400 + 3917) {
      int64_t offset = 0;
      const uint32_t expected = LibraryStamp(t, &offset);
      const uint32_t got = StampFromUnixTime(t, offset);
      if (got != expected) {
        ++failures;
        ADD_FAILURE() << zone << " at " << t << ": " << std::hex << got << " instead of "
                      << expected;
      }
    }
  }
}

// StampMaker remembers the last day's date: in a row of instants that stay
// in one day, cross midnight back and forth, leave the range and come back,
// each stamp is StampFromUnixTime's.
TEST(LocalStampTest, AStampMakerGivesTheSameStampsAsTheFullWay) {
  std::vector<int64_t> row(std::begin(kInstants), std::end(kInstants));
  for (int64_t t = 946684700; t < 946684700 + 3 * 86400; t += 4999) row.push_back(t);
  for (int k = 0; k < 50; ++k) row.push_back(k % 2 ? 946771199 + k : 946771200 - k);  // midnight
  row.insert(row.end(), {315532799, 315532800, 315532801, 4354819199, 4354819198, -1, 0, 1});
  for (const int64_t offset : {int64_t{0}, int64_t{3600}, int64_t{-36000}, int64_t{34200}}) {
    StampMaker stamps(offset);
    for (const int64_t t : row) {
      EXPECT_EQ(stamps(t), StampFromUnixTime(t, offset)) << "at " << t << " offset " << offset;
    }
  }
}

// Without an offset given, the offset in force now applies to every instant
// (summer times in winter and the other way round), and the stamp leads back
// to the instant it came from, to the even second.
TEST(LocalStampTest, TheOffsetInForceNowAppliesAndRoundTrips) {
  const ZoneForTest set("CET-1CEST,M3.5.0,M10.5.0/3");
  const int64_t now_offset = LocalOffsetNow();
  const time_t now = time(nullptr);
  struct tm parts;
  ASSERT_NE(localtime_r(&now, &parts), nullptr);
  EXPECT_EQ(now_offset, parts.tm_gmtoff);
  for (const int64_t t : kInstants) {
    SCOPED_TRACE(t);
    const uint32_t stamp = StampFromUnixTime(t);
    EXPECT_EQ(stamp, StampFromUnixTime(t, now_offset));
    if (stamp == kFirstStamp || stamp == kLastStamp) continue;
    int64_t back = 0;
    ASSERT_TRUE(UnixTimeFromStamp(stamp, &back));
    EXPECT_EQ(back, t - (t & 1));
  }
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
