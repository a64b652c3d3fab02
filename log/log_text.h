// The column rules of the log: how wide a text is, padding to a column, and
// the shortening of long paths to 55 characters.
//
// On Windows the log is in the ANSI code page and every byte is a character
// (the ellipsis is 0x85). On POSIX the code page is UTF-8: widths count
// characters, a character is never split, and the ellipsis is U+2026.
// Both rules are available everywhere so that both can be tested natively.
#pragma once

#include <cstddef>
#include <string>

#include "platform/text_rules.h"

namespace tolvex {

// Paths longer than this are shortened in short and long entries.
inline constexpr size_t kLogPathColumns = 55;

// The number of characters in `text`. In UTF-8 a byte that does not start a
// well-formed sequence counts as one character of its own.
size_t CharacterCount(const std::string& text, TextMode mode);

// `text` padded with spaces on the left (AlignRight, "%21s") or on the right
// (AlignLeft, "%-55s") to `width` characters; longer texts stay whole.
std::string AlignRight(const std::string& text, size_t width, TextMode mode);
std::string AlignLeft(const std::string& text, size_t width, TextMode mode);

// A path of more than 55 characters becomes its first 16 characters, the
// ellipsis and its last 38 characters; shorter paths stay as they are.
std::string ShortenLogPath(const std::string& path, TextMode mode);

// `text` with every control character (C0, DEL and, in UTF-8, C1) replaced by
// '?', so that one entry is always one line of the log. No Windows name holds
// one, but a native name that the scan skipped may.
std::string PrintableLogText(const std::string& text, TextMode mode);

}  // namespace tolvex
