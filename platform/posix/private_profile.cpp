#include "platform/posix/private_profile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string trimmed = Trimmed(line);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  return Trimmed(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string> KeyOf(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || SectionOf(line)) return std::nullopt;
  return Trimmed(line.substr(0, equals));
}

bool SameName(const std::string& a, const std::string& b) {
  return CompareAsciiCaseless(Trimmed(a), Trimmed(b)) == 0;
}

// Where a section's lines are: the header's index (npos when missing) and
// the index after its last line.
struct SectionSpan {
  size_t header = std::string::npos;
  size_t end = 0;
};

SectionSpan FindSection(const std::vector<std::string>& lines, const std::string& section) {
  SectionSpan span;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::optional<std::string> name = SectionOf(lines[i]);
    if (!name) continue;
    if (span.header != std::string::npos) {
      span.end = i;
      return span;
    }
    if (SameName(*name, section)) span.header = i;
  }
  span.end = lines.size();
  return span;
}

size_t FindKey(const std::vector<std::string>& lines, const SectionSpan& span,
               const std::string& key) {
  for (size_t i = span.header + 1; i < span.end; ++i) {
    const std::optional<std::string> name = KeyOf(lines[i]);
    if (name && SameName(*name, key)) return i;
  }
  return std::string::npos;
}

std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::optional<std::string> ReadProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key) {
  const std::vector<std::string> lines = Lines(text);
  const SectionSpan span = FindSection(lines, section);
  if (span.header == std::string::npos) return std::nullopt;
  const size_t at = FindKey(lines, span, key);
  if (at == std::string::npos) return std::nullopt;
  return Unquoted(Trimmed(lines[at].substr(lines[at].find('=') + 1)));
}

std::string WriteProfileValue(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& value) {
  std::vector<std::string> lines = Lines(text);
  const SectionSpan span = FindSection(lines, section);
  if (span.header == std::string::npos) {
    if (!lines.empty() && !Trimmed(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + section + "]");
    lines.push_back(key + "=" + value);
  } else if (const size_t at = FindKey(lines, span, key); at != std::string::npos) {
    lines[at] = Trimmed(lines[at].substr(0, lines[at].find('='))) + "=" + value;
  } else {
    size_t insert = span.end;
    while (insert > span.header + 1 && Trimmed(lines[insert - 1]).empty()) --insert;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), key + "=" + value);
  }
  const std::string line_end = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::string out;
  for (const std::string& line : lines) out += line + line_end;
  return out;
}

uint32_t ProfileIntFromText(const std::string& value, uint32_t fallback) {
  const std::string text = Trimmed(value);
  if (text.empty()) return fallback;
  size_t at = 0;
  bool negative = false;
  if (text[at] == '-' || text[at] == '+') negative = text[at++] == '-';
  unsigned base = 10;
  if (at + 1 < text.size() && text[at] == '0') {
    const char prefix = text[at + 1];
    base = prefix == 'x' || prefix == 'X' ? 16 : prefix == 'o' || prefix == 'O' ? 8
           : prefix == 'b' || prefix == 'B' ? 2 : 10;
    if (base != 10) at += 2;
  }
  uint32_t result = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at]);
    if (digit >= static_cast<int>(base)) break;
    result = result * base + static_cast<uint32_t>(digit);  // wraps modulo 2^32
  }
  return negative ? 0u - result : result;
}

std::string ProfileFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/tolvex";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const struct passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "/";
  }
  return std::string(home) + "/.config/tolvex";
}

}  // namespace tolvex::posix
