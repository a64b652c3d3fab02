#include "log/log_text.h"

#include <vector>

namespace tolvex {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of a well-formed UTF-8 sequence starting with `lead` (0 when `lead`
// cannot start one: a continuation byte, an overlong lead, or beyond U+10FFFF).
size_t ExpectedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The byte length of the character that starts at `pos`.
size_t CharacterLength(const std::string& text, size_t pos, LogTextMode mode) {
  if (mode == LogTextMode::kBytes) return 1;
  const size_t expected = ExpectedLength(static_cast<unsigned char>(text[pos]));
  if (expected <= 1 || pos + expected > text.size()) return 1;
  for (size_t i = 1; i < expected; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
  }
  return expected;
}

// The byte offset of every character start, followed by text.size().
std::vector<size_t> CharacterBounds(const std::string& text, LogTextMode mode) {
  std::vector<size_t> bounds;
  size_t pos = 0;
  while (pos < text.size()) {
    bounds.push_back(pos);
    pos += CharacterLength(text, pos, mode);
  }
  bounds.push_back(text.size());
  return bounds;
}

const char* Ellipsis(LogTextMode mode) {
  return mode == LogTextMode::kBytes ? "\x85" : "\xE2\x80\xA6";
}

bool IsControl(const std::string& text, size_t pos, size_t length) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  // U+0080 to U+009F: the C1 controls, NEL (a line break to some readers) among them.
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[pos + 1]) <= 0x9F;
}

}  // namespace

size_t CharacterCount(const std::string& text, LogTextMode mode) {
  return CharacterBounds(text, mode).size() - 1;
}

std::string AlignRight(const std::string& text, size_t width, LogTextMode mode) {
  const size_t count = CharacterCount(text, mode);
  return count >= width ? text : std::string(width - count, ' ') + text;
}

std::string AlignLeft(const std::string& text, size_t width, LogTextMode mode) {
  const size_t count = CharacterCount(text, mode);
  return count >= width ? text : text + std::string(width - count, ' ');
}

std::string ShortenLogPath(const std::string& path, LogTextMode mode) {
  constexpr size_t kHead = 16;
  constexpr size_t kTail = 38;
  const std::vector<size_t> bounds = CharacterBounds(path, mode);
  const size_t count = bounds.size() - 1;
  if (count <= kLogPathColumns) return path;
  const size_t tail_start = bounds[count - kTail];
  return path.substr(0, bounds[kHead]) + Ellipsis(mode) + path.substr(tail_start);
}

std::string PrintableLogText(const std::string& text, LogTextMode mode) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t length = CharacterLength(text, pos, mode);
    if (IsControl(text, pos, length)) {
      out += '?';
    } else {
      out.append(text, pos, length);
    }
    pos += length;
  }
  return out;
}

}  // namespace tolvex
