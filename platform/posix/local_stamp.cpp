#include "platform/posix/local_stamp.h"

#include "platform/dos_stamp.h"

namespace tolvex::posix {

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar
// (no time-zone database involved).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

}  // namespace

int64_t LocalOffsetNow() {
  const time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return 0;
  return local.tm_gmtoff;
}

uint32_t StampFromUnixTime(int64_t unix_seconds) {
  const int64_t local = unix_seconds + LocalOffsetNow();
  static const int64_t kFirst = DaysFromCivil(1980, 1, 1) * 86400;
  static const int64_t kLast = DaysFromCivil(2107, 12, 31) * 86400 + 86399;
  if (local < kFirst) return kFirstStamp;
  if (local > kLast) return kLastStamp;
  const time_t as_time = static_cast<time_t>(local);
  struct tm parts;
  gmtime_r(&as_time, &parts);  // the shifted time, read without any zone
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  return PackStamp(t);
}

bool UnixTimeFromStamp(uint32_t stamp, int64_t* unix_seconds) {
  if (!IsValidStamp(stamp)) return false;
  const LocalTime t = UnpackStamp(stamp);
  const int64_t local =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 +
      t.hour * 3600 + t.minute * 60 + t.second;
  *unix_seconds = local - LocalOffsetNow();
  return true;
}

}  // namespace tolvex::posix
