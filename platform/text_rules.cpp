#include "platform/text_rules.h"

#include <algorithm>

namespace tolvex {

std::string AsciiUpperText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return upper;
}

std::string AsciiLowerText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower;
}

int CompareAsciiCaseless(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = AsciiUpper(static_cast<unsigned char>(a[i]));
    const unsigned char y = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

size_t Utf8SequenceLength(std::string_view text, size_t pos, uint32_t* code_point) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length = 0;
  uint32_t value = 0;
  if (lead < 0x80) {
    length = 1, value = lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  // The second byte's range depends on the lead: E0 and F0 would start
  // overlong forms, ED the UTF-16 surrogates, F4 code points past U+10FFFF.
  const unsigned char second = length > 1 ? byte(pos + 1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  if (code_point != nullptr) *code_point = value;
  return length;
}

size_t CharacterLength(std::string_view text, size_t pos, TextMode mode) {
  if (mode == TextMode::kBytes) return 1;
  const size_t length = Utf8SequenceLength(text, pos);
  return length == 0 ? 1 : length;
}

std::string TwoDigits(int value) {
  const int v = ((value % 100) + 100) % 100;
  return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string TwoDigitTriple(int a, int b, int c, char separator) {
  return TwoDigits(a) + separator + TwoDigits(b) + separator + TwoDigits(c);
}

}  // namespace tolvex
