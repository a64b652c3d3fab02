#include "platform/dos_stamp.h"

namespace tolvex {

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

}  // namespace tolvex
