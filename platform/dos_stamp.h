// Packed DOS date/time ("stamp"): date word in the high 16 bits, time word in
// the low 16 bits, local time. Compared as unsigned 32-bit numbers, stamps
// order chronologically.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tolvex {

// The first and last instants a stamp can hold.
inline constexpr uint32_t kFirstStamp = (0u << 25) | (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
inline constexpr uint32_t kLastStamp =
    (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;  // 2107-12-31 23:59:58

// Packs a calendar time; seconds are truncated to even values, and times
// outside 1980-01-01 ... 2107-12-31 23:59:58 are clamped to the nearest end.
// REQUIRES: the fields name a real calendar time.
uint32_t PackStamp(const LocalTime& t);
// Unpacks a stamp (weekday is left 0).
LocalTime UnpackStamp(uint32_t stamp);
// FindEntry::fraction of a last-write time: `seconds` (any count of whole
// seconds whose parity is the time's own, as seconds since 1970 or 1601)
// and `nanoseconds` within the second; kNoFraction for a stamp clamped to
// the first or last one. The local-time shift of a stamp is whole minutes,
// so the two seconds of a stamp start on an even second.
inline uint32_t StampFraction(uint32_t stamp, int64_t seconds, uint32_t nanoseconds) {
  if (stamp == kFirstStamp || stamp == kLastStamp) return kNoFraction;
  return static_cast<uint32_t>(seconds & 1) * 1000000000u + nanoseconds;
}

// True when the stamp names a real calendar time (month 1-12, a day of that
// month, hours below 24, minutes below 60, seconds below 60).
bool IsValidStamp(uint32_t stamp);

}  // namespace tolvex
