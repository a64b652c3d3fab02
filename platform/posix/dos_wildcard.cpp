#include "platform/posix/dos_wildcard.h"

#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

constexpr uint32_t kDosStar = '<';
constexpr uint32_t kDosQm = '>';
constexpr uint32_t kDosDot = '"';
constexpr uint32_t kEndOfName = 0xFFFFFFFFu;
// Bytes that are not part of valid UTF-8 get units of their own, apart from
// every code point.
constexpr uint32_t kStrayByteBase = 0x110000u;

}  // namespace

std::vector<uint32_t> CaselessUnits(std::string_view text) {
  std::vector<uint32_t> units;
  units.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      units.push_back(AsciiLower(c));
      ++at;
      continue;
    }
    uint32_t code_point = 0;
    const size_t length = Utf8SequenceLength(text, at, &code_point);
    if (length == 0) {
      units.push_back(kStrayByteBase + c);
      ++at;
    } else {
      units.push_back(code_point);
      at += length;
    }
  }
  return units;
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?<>\"") != std::string_view::npos;
}

bool WindowsCanHoldName(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  if (name != "." && name != ".." && !name.empty() && (name.back() == '.' || name.back() == ' ')) {
    return false;
  }
  return name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

std::string WithoutTrailingDotsAndSpaces(std::string_view name) {
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return std::string(name.substr(0, end));
}

std::string RewriteDosPattern(std::string_view pattern) {
  const bool ended_in_dot = !pattern.empty() && pattern.back() == '.';
  const std::string stripped = WithoutTrailingDotsAndSpaces(pattern);
  if (stripped == "*.*") return "*";
  std::string out = stripped;
  for (size_t i = 0; i < out.size(); ++i) {
    const char next = i + 1 < stripped.size() ? stripped[i + 1] : '\0';
    if (stripped[i] == '?') {
      out[i] = static_cast<char>(kDosQm);
    } else if (stripped[i] == '.' && (next == '?' || next == '*')) {
      out[i] = static_cast<char>(kDosDot);
    } else if (stripped[i] == '*' && next == '.') {
      out[i] = static_cast<char>(kDosStar);
    }
  }
  if (ended_in_dot && !out.empty() && out.back() == '*') out.back() = static_cast<char>(kDosStar);
  return out;
}

DosPattern::DosPattern(std::string_view pattern) : units_(CaselessUnits(RewriteDosPattern(pattern))) {
  matches_every_name_ = units_.size() == 1 && units_[0] == '*';
}

DosPattern DosPattern::FromExpression(std::string_view expression) {
  DosPattern pattern("");
  pattern.units_ = CaselessUnits(expression);
  pattern.matches_every_name_ = pattern.units_.size() == 1 && pattern.units_[0] == '*';
  return pattern;
}

// True when pattern unit `w` can be passed over without taking `unit` (the
// next character of the name, or kEndOfName).
static bool PassesWithoutTaking(uint32_t w, uint32_t unit) {
  return w == '*' || w == kDosStar || (w == kDosQm && (unit == kEndOfName || unit == '.')) ||
         (w == kDosDot && unit == kEndOfName);
}

// Where pattern position `p` (unit `w`) goes when it takes `unit`: `p` to
// stay, `p + 1` to move on, kNowhere when it cannot take it.
constexpr size_t kNowhere = static_cast<size_t>(-1);
static size_t PositionAfterTaking(uint32_t w, size_t p, uint32_t unit, bool is_last_dot) {
  if (w == '*') return p;
  // The name's last '.' can only be the last character DOS_STAR takes.
  if (w == kDosStar) return is_last_dot ? p + 1 : p;
  if (w == kDosQm) return unit != '.' ? p + 1 : kNowhere;
  if (w == kDosDot) return unit == '.' ? p + 1 : kNowhere;
  return (w == '?' || w == unit) ? p + 1 : kNowhere;
}

// A walk over the name that keeps the set of pattern positions reached so
// far (the automaton of FsRtlIsNameInExpression): no backtracking, so the
// cost is at most pattern length times name length.
bool DosPattern::Matches(std::string_view name_text) const {
  // A lone '*' passes over the end and takes any unit, so any name but the
  // empty one gets through.
  if (matches_every_name_) return !name_text.empty();
  const std::vector<uint32_t> name = CaselessUnits(name_text);
  if (name.empty() || units_.empty()) return false;
  size_t last_dot = name.size();
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '.') last_dot = i;
  }
  const size_t end = units_.size();
  std::vector<char> states(end + 1, 0);
  std::vector<char> next(end + 1, 0);
  states[0] = 1;
  for (size_t i = 0; i <= name.size(); ++i) {
    const uint32_t unit = i < name.size() ? name[i] : kEndOfName;
    // Positions only grow along these moves, so one pass reaches them all.
    for (size_t p = 0; p < end; ++p) {
      if (states[p] && PassesWithoutTaking(units_[p], unit)) states[p + 1] = 1;
    }
    if (unit == kEndOfName) return states[end] != 0;
    std::fill(next.begin(), next.end(), 0);
    bool any = false;
    for (size_t p = 0; p < end; ++p) {
      if (!states[p]) continue;
      const size_t to = PositionAfterTaking(units_[p], p, unit, i == last_dot);
      if (to != kNowhere) next[to] = 1, any = true;
    }
    if (!any) return false;
    states.swap(next);
  }
  return false;
}

}  // namespace tolvex::posix
