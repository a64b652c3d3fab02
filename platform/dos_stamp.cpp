#include "platform/dos_stamp.h"

namespace tolvex {

namespace {

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

uint32_t PackStamp(const LocalTime& t) {
  if (t.year < 1980) return kFirstStamp;
  if (t.year > 2107) return kLastStamp;
  return (static_cast<uint32_t>(t.year - 1980) << 25) | (static_cast<uint32_t>(t.month) << 21) |
         (static_cast<uint32_t>(t.day) << 16) | (static_cast<uint32_t>(t.hour) << 11) |
         (static_cast<uint32_t>(t.minute) << 5) | static_cast<uint32_t>(t.second / 2);
}

LocalTime UnpackStamp(uint32_t stamp) {
  LocalTime t;
  t.year = 1980 + static_cast<int>(stamp >> 25);
  t.month = static_cast<int>((stamp >> 21) & 0x0F);
  t.day = static_cast<int>((stamp >> 16) & 0x1F);
  t.hour = static_cast<int>((stamp >> 11) & 0x1F);
  t.minute = static_cast<int>((stamp >> 5) & 0x3F);
  t.second = static_cast<int>(stamp & 0x1F) * 2;
  return t;
}

bool IsValidStamp(uint32_t stamp) {
  const LocalTime t = UnpackStamp(stamp);
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) &&
         t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

}  // namespace tolvex
