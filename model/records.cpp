#include "model/records.h"

#include "platform/text_rules.h"

namespace tolvex {

namespace {

int StampMonth(uint32_t stamp) { return static_cast<int>((stamp >> 21) & 0x0F); }
int StampDay(uint32_t stamp) { return static_cast<int>((stamp >> 16) & 0x1F); }
int StampYear2(uint32_t stamp) { return static_cast<int>(((stamp >> 25) + 80) % 100); }

}  // namespace

int CompareText(std::string_view a, std::string_view b) { return CompareAsciiCaseless(a, b); }

std::string StampDateText(uint32_t stamp, char date_separator) {
  return TwoDigitTriple(StampMonth(stamp), StampDay(stamp), StampYear2(stamp), date_separator);
}

std::string StampText(uint32_t stamp, char date_separator, char time_separator) {
  const int hour = static_cast<int>((stamp >> 11) & 0x1F);
  const int minute = static_cast<int>((stamp >> 5) & 0x3F);
  const int second = static_cast<int>((stamp & 0x1F) * 2);
  return StampDateText(stamp, date_separator) + " " +
         TwoDigitTriple(hour, minute, second, time_separator);
}

}  // namespace tolvex
