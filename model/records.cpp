#include "model/records.h"

#include <cstdio>

namespace tolvex {

namespace {

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

unsigned StampMonth(uint32_t stamp) { return (stamp >> 21) & 0x0F; }
unsigned StampDay(uint32_t stamp) { return (stamp >> 16) & 0x1F; }
unsigned StampYear2(uint32_t stamp) { return ((stamp >> 25) + 80) % 100; }

// Keeps every byte snprintf wrote, so a NUL separator (the value before the
// front end sets one) stays in the text as the character it is.
std::string Written(const char* buffer, int n) {
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string StampDateText(uint32_t stamp, char date_separator) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, "%02u%c%02u%c%02u", StampMonth(stamp),
                              date_separator, StampDay(stamp), date_separator, StampYear2(stamp));
  return Written(buffer, n);
}

std::string StampText(uint32_t stamp, char date_separator, char time_separator) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, " %02u%c%02u%c%02u", (stamp >> 11) & 0x1F,
                              time_separator, (stamp >> 5) & 0x3F, time_separator,
                              (stamp & 0x1F) * 2);
  return StampDateText(stamp, date_separator) + Written(buffer, n);
}

}  // namespace tolvex
