#include "log/log_text.h"

#include <vector>

namespace tolvex {

namespace {

// The byte offset of every character start, followed by text.size().
std::vector<size_t> CharacterBounds(const std::string& text, TextMode mode) {
  std::vector<size_t> bounds;
  size_t pos = 0;
  while (pos < text.size()) {
    bounds.push_back(pos);
    pos += CharacterLength(text, pos, mode);
  }
  bounds.push_back(text.size());
  return bounds;
}

const char* Ellipsis(TextMode mode) {
  return mode == TextMode::kBytes ? "\x85" : "\xE2\x80\xA6";
}

bool IsControl(const std::string& text, size_t pos, size_t length) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  // U+0080 to U+009F: the C1 controls, NEL (a line break to some readers) among them.
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[pos + 1]) <= 0x9F;
}

}  // namespace

size_t CharacterCount(const std::string& text, TextMode mode) {
  return CharacterBounds(text, mode).size() - 1;
}

std::string AlignRight(const std::string& text, size_t width, TextMode mode) {
  const size_t count = CharacterCount(text, mode);
  return count >= width ? text : std::string(width - count, ' ') + text;
}

std::string AlignLeft(const std::string& text, size_t width, TextMode mode) {
  const size_t count = CharacterCount(text, mode);
  return count >= width ? text : text + std::string(width - count, ' ');
}

std::string ShortenLogPath(const std::string& path, TextMode mode) {
  constexpr size_t kHead = 16;
  constexpr size_t kTail = 38;
  const std::vector<size_t> bounds = CharacterBounds(path, mode);
  const size_t count = bounds.size() - 1;
  if (count <= kLogPathColumns) return path;
  const size_t tail_start = bounds[count - kTail];
  return path.substr(0, bounds[kHead]) + Ellipsis(mode) + path.substr(tail_start);
}

std::string PrintableLogText(const std::string& text, TextMode mode) {
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
