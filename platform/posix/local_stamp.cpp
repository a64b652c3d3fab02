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

// The date of the given day since 1970-01-01 (the inverse of DaysFromCivil).
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
  *day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  *month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  *year = static_cast<int>(static_cast<int64_t>(year_of_era) + era * 400 + (*month <= 2));
}

}  // namespace

int64_t LocalOffsetNow() {
  const time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return 0;
  return local.tm_gmtoff;
}

uint32_t StampFromUnixTime(int64_t unix_seconds) {
  return StampFromUnixTime(unix_seconds, LocalOffsetNow());
}

uint32_t StampFromUnixTime(int64_t unix_seconds, int64_t offset_seconds) {
  const int64_t local = unix_seconds + offset_seconds;
  static const int64_t kFirst = DaysFromCivil(1980, 1, 1) * 86400;
  static const int64_t kLast = DaysFromCivil(2107, 12, 31) * 86400 + 86399;
  if (local < kFirst) return kFirstStamp;
  if (local > kLast) return kLastStamp;
  // Within the clamp the time is positive: plain division splits it.
  const int64_t days = local / 86400;
  const int64_t second_of_day = local % 86400;
  LocalTime t;
  CivilFromDays(days, &t.year, &t.month, &t.day);
  t.hour = static_cast<int>(second_of_day / 3600);
  t.minute = static_cast<int>(second_of_day / 60 % 60);
  t.second = static_cast<int>(second_of_day % 60);
  return PackStamp(t);
}

uint32_t StampMaker::operator()(int64_t unix_seconds) {
  const int64_t local = unix_seconds + offset_;
  if (!have_day_ || local < 0 || local / 86400 != day_) {
    // Another day, or before 1970: the full way.
    const uint32_t stamp = StampFromUnixTime(unix_seconds, offset_);
    // Only a day wholly inside the stamps' range keeps its date bits (the
    // clamped ends are no dates of their own).
    have_day_ = local >= 0 && stamp != kFirstStamp && stamp != kLastStamp;
    if (have_day_) {
      day_ = local / 86400;
      date_bits_ = stamp & 0xFFFF0000u;
    }
    return stamp;
  }
  const int64_t second_of_day = local % 86400;
  const uint32_t hour = static_cast<uint32_t>(second_of_day / 3600);
  const uint32_t minute = static_cast<uint32_t>(second_of_day / 60 % 60);
  const uint32_t second = static_cast<uint32_t>(second_of_day % 60);
  return date_bits_ | (hour << 11) | (minute << 5) | (second / 2);
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
