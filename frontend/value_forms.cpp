#include "frontend/value_forms.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/dos_stamp.h"

namespace tolvex::frontend {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads exactly `width` digits at `pos`.
std::optional<int> Digits(const std::string& text, size_t pos, size_t width) {
  if (pos + width > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Reads "HH:MM" or "HH:MM:SS" starting at `pos` (the rest of the text).
bool ReadTime(const std::string& text, size_t pos, LocalTime* t) {
  const auto hour = Digits(text, pos, 2);
  const auto minute = Digits(text, pos + 3, 2);
  if (!hour || !minute || text[pos + 2] != ':') return false;
  t->hour = *hour;
  t->minute = *minute;
  if (text.size() == pos + 5) return true;
  const auto second = Digits(text, pos + 6, 2);
  if (!second || text.size() != pos + 8 || text[pos + 5] != ':') return false;
  t->second = *second;
  return true;
}

bool IsValid(const LocalTime& t) {
  return t.year >= 1980 && t.year <= 2107 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

}  // namespace

std::string Trim(const std::string& text) {
  const char* space = " \t\r\n";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::optional<int64_t> ParseNumber(const std::string& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const int digit = HexDigit(text[i]);
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    return value;
  }
  const bool negative = !text.empty() && text[0] == '-';
  const size_t start = negative ? 1 : 0;
  if (text.size() == start || text.size() - start > 10) return std::nullopt;
  int64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  value = negative ? -value : value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return value;
}

std::optional<bool> ParseFlag(const std::string& text) {
  const std::string word = AsciiLowerText(text);
  if (word == "1" || word == "yes" || word == "true" || word == "on") return true;
  if (word == "0" || word == "no" || word == "false" || word == "off") return false;
  return std::nullopt;
}

namespace {

// A whole number from 0 to `most`, digits only.
std::optional<int32_t> SmallNumber(const std::string& text, int64_t most) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int64_t value = std::stoll(text);
  if (value > most) return std::nullopt;
  return static_cast<int32_t>(value);
}

// "P%" with P from 0 to 100.
std::optional<int32_t> Percentage(const std::string& text) {
  if (text.size() < 2 || text.back() != '%') return std::nullopt;
  return SmallNumber(Trim(text.substr(0, text.size() - 1)), 100);
}

}  // namespace

std::optional<EraseLimit> ParseEraseLimit(const std::string& text) {
  const std::string word = AsciiLowerText(Trim(text));
  if (word == "none") return EraseLimit{-1, 0};
  EraseLimit limit{0, 0};
  const size_t joint = word.find(" and ");
  if (joint != std::string::npos) {
    const auto count = SmallNumber(Trim(word.substr(0, joint)), INT32_MAX);
    const auto percent = Percentage(Trim(word.substr(joint + 5)));
    if (!count || !percent) return std::nullopt;
    return EraseLimit{*count, *percent};
  }
  if (const auto percent = Percentage(word)) {
    limit.percent = *percent;
    return limit;
  }
  if (const auto count = SmallNumber(word, INT32_MAX)) {
    limit.count = *count;
    return limit;
  }
  return std::nullopt;
}

std::string FormatEraseLimit(const EraseLimit& limit) {
  if (limit.count < 0) return "none";
  const std::string percent = std::to_string(limit.percent) + "%";
  if (limit.percent == 0) return std::to_string(limit.count);
  if (limit.count == 0) return percent;
  return std::to_string(limit.count) + " and " + percent;
}

std::optional<uint32_t> ParseDate(const std::string& text) {
  const std::string word = AsciiLowerText(text);
  if (word == "0" || word == "none") return 0u;
  LocalTime t;
  const auto year = Digits(text, 0, 4);
  const auto month = Digits(text, 5, 2);
  const auto day = Digits(text, 8, 2);
  if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
  t.year = *year;
  t.month = *month;
  t.day = *day;
  if (text.size() > 10 && (text[10] != ' ' || !ReadTime(text, 11, &t))) return std::nullopt;
  if (!IsValid(t)) return std::nullopt;
  return PackStamp(t);
}

std::string FormatStamp(uint32_t stamp) {
  if (stamp == 0) return "none";
  const LocalTime t = UnpackStamp(stamp);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::optional<uint32_t> ParseColour(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return std::nullopt;
    rgb = rgb * 16 + static_cast<uint32_t>(digit);
  }
  const uint32_t red = rgb >> 16, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
  return (blue << 16) | (green << 8) | red;
}

std::string FormatColour(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return text;
}

std::optional<char> ParseSeparator(const std::string& text) {
  if (text.size() != 1 || text[0] <= ' ' || text[0] > '~') return std::nullopt;
  return text[0];
}

}  // namespace tolvex::frontend
