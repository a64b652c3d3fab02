// Letter case of names as the file system folds it, for the engine's own
// comparisons (case twins, name clashes, selections): two names are one name
// to the file system exactly when their keys are equal.
//
// Windows folds names with the upper-case table of the whole BMP (what
// RtlUpcaseUnicodeChar and CompareStringOrdinal with ignore-case use), on the
// characters of the ANSI code page: "\xC4.txt" and "\xE4.txt" (Ä, ä in code
// page 1252) are one name there. The POSIX back end resolves names with
// ASCII letter case only (platform.h), so there "Ä.txt" and "ä.txt" are two
// names and only A-Z fold.
#pragma once

#include <string>
#include <string_view>

namespace tolvex {

// True where letters beyond ASCII fold (Windows).
#ifdef _WIN32
inline constexpr bool kNamesFoldBeyondAscii = true;
#else
inline constexpr bool kNamesFoldBeyondAscii = false;
#endif

// The key of `name` (a name or a path): ASCII upper case for a text of
// ASCII bytes on every platform; on Windows, a text with other bytes is
// read in the ANSI code page, each UTF-16 unit upper-cased as the file
// system does, and the key is their UTF-8 form (so that a key of ASCII
// letters is the same either way). The key of a concatenation is the
// concatenation of the keys, so keys of paths compare folder by folder.
std::string NameCaseKey(std::string_view name);

// True when the text holds a byte above 127.
inline bool HasHighBytes(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace tolvex
