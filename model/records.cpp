#include "model/records.h"

#include <cstdio>

namespace tolvex {

namespace {
unsigned char FoldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}
}  // namespace

int CompareText(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string StampText(uint32_t stamp, char date_separator, char time_separator) {
  char buffer[64];
  // A NUL separator (the value before the front end sets one) stays in the
  // text as the character it is, as the formatted write would put it.
  const int n = std::snprintf(buffer, sizeof buffer, "%02u%c%02u%c%02u %02u%c%02u%c%02u",
                (stamp >> 21) & 0x0F, date_separator, (stamp >> 16) & 0x1F, date_separator,
                ((stamp >> 25) + 80) % 100, (stamp >> 11) & 0x1F, time_separator,
                (stamp >> 5) & 0x3F, time_separator, (stamp & 0x1F) * 2);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace tolvex
