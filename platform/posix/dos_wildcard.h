// The wildcard rules of FindFirstFileA, for the POSIX back end.
//
// kernel32 rewrites the last name of the pattern before the file system sees
// it, and the file system matches the result like FsRtlIsNameInExpression:
//   - trailing dots and spaces are stripped; exactly "*.*" becomes "*";
//   - every '?' becomes DOS_QM '>': one character, or none at a '.' or at
//     the end of the name;
//   - a '.' followed by '?' or '*' becomes DOS_DOT '"': a '.' or nothing at
//     the end of the name;
//   - a '*' followed by '.' becomes DOS_STAR '<': any characters, where the
//     name's last '.' can only be the last one it takes; so does a trailing
//     '*' when the pattern ended in a '.' ("*." is "<": names without a dot,
//     and "." and "..");
//   - letters compare without regard to ASCII case.
// '?' and '>' take one whole UTF-8 character: the ANSI code page on POSIX is
// UTF-8, where Windows sees one character per byte of its code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex::posix {

// True when `name` holds a wildcard ('*', '?' or the DOS forms '<' '>' '"').
bool HasWildcard(std::string_view name);

// True when the Windows namespace can hold `name`: none of \ / : * ? " < > |,
// no control character, and no final dot or space ("." and ".." aside).
// Windows strips a final dot or space, so "x." names the file "x" there: a
// name ending in one cannot be reached as itself, only as another.
bool WindowsCanHoldName(std::string_view name);

// The last name of a path as Windows normalises it: trailing dots and spaces
// removed ("a.txt. " is "a.txt").
std::string WithoutTrailingDotsAndSpaces(std::string_view name);

// The rewritten form of a pattern's last name (see above).
std::string RewriteDosPattern(std::string_view pattern);

// A pattern ready to match many names.
class DosPattern {
 public:
  // `pattern` is the last name of a FindFirstFileA argument, as given.
  explicit DosPattern(std::string_view pattern);
  // An expression already in the rewritten form (with '<', '>', '"').
  static DosPattern FromExpression(std::string_view expression);
  bool Matches(std::string_view name) const;

 private:
  std::vector<uint32_t> units_;  // the rewritten pattern, one unit per character
  // "*" (and "*.*", rewritten to it) takes any name: every listing of a
  // scan asks that, so it skips the walk.
  bool matches_every_name_ = false;
};

// Characters of `text` as units: ASCII letters folded to lower case, every
// UTF-8 sequence one unit; a byte outside valid UTF-8 is a unit of its own.
std::vector<uint32_t> CaselessUnits(std::string_view text);

}  // namespace tolvex::posix
