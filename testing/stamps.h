// Packed DOS stamps for tests, from their fields.
#pragma once

#include <cstdint>

namespace tolvex {

// The stamp of the given fields as they are stored: year field = year - 1980,
// second field = second / 2.
constexpr uint32_t StampFromFields(uint32_t year_field, uint32_t month, uint32_t day,
                                   uint32_t hour = 0, uint32_t minute = 0,
                                   uint32_t second_field = 0) {
  return (year_field << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) |
         second_field;
}

}  // namespace tolvex
