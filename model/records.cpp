#include "model/records.h"

#include <algorithm>

#include "platform/text_rules.h"

namespace tolvex {

namespace {

int StampMonth(uint32_t stamp) { return static_cast<int>((stamp >> 21) & 0x0F); }
int StampDay(uint32_t stamp) { return static_cast<int>((stamp >> 16) & 0x1F); }
int StampYear2(uint32_t stamp) { return static_cast<int>(((stamp >> 25) + 80) % 100); }

}  // namespace

int CompareText(std::string_view a, std::string_view b) { return CompareAsciiCaseless(a, b); }

void SortByText(std::vector<STRING>* list) {
  // Upper-cased texts compared as unsigned bytes (std::string's compare)
  // order exactly as CompareText does.
  std::vector<std::pair<std::string, uint32_t>> keys;
  keys.reserve(list->size());
  for (size_t i = 0; i < list->size(); ++i) {
    keys.emplace_back(AsciiUpperText((*list)[i].text()), static_cast<uint32_t>(i));
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<STRING> sorted;
  sorted.reserve(list->size());
  for (const auto& key : keys) sorted.push_back(std::move((*list)[key.second]));
  *list = std::move(sorted);
}

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
