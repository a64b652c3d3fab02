// The text rules every layer shares: the platform's code page, ASCII letter
// case, UTF-8 character bounds and two-digit numbers.
//
// Texts are 8-bit. On Windows they are bytes of the ANSI code page, one
// byte a character. On POSIX the code page is UTF-8: a character is a
// well-formed UTF-8 sequence, and a byte that starts none counts as a
// character of its own, so no rule ever splits a character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvex {

enum class TextMode { kBytes, kUtf8 };

#ifdef _WIN32
inline constexpr TextMode kNativeText = TextMode::kBytes;
#else
inline constexpr TextMode kNativeText = TextMode::kUtf8;
#endif

// a-z to A-Z and back; every other byte stays as it is.
inline unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}
inline unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The whole text with a-z as A-Z (AsciiUpperText) or A-Z as a-z.
std::string AsciiUpperText(std::string_view text);
std::string AsciiLowerText(std::string_view text);

// The engine's ordering of texts: byte by byte, a-z taken as A-Z, bytes
// unsigned, a text that ends first sorts first. "abc" equals "ABC", and the
// underscore (0x5F) sorts after every letter. Negative, 0 or positive.
int CompareAsciiCaseless(std::string_view a, std::string_view b);

// Length of the well-formed UTF-8 sequence that starts at text[pos], with
// its code point in *code_point; 0 when none starts there (a continuation
// byte, an overlong or out-of-range lead, a cut or broken sequence, an
// overlong form, a UTF-16 surrogate, a code point past U+10FFFF).
// REQUIRES: pos < text.size().
size_t Utf8SequenceLength(std::string_view text, size_t pos, uint32_t* code_point = nullptr);

// Bytes of the character that starts at text[pos] under `mode`: 1 in
// kBytes; in kUtf8 the whole well-formed sequence, else 1.
// REQUIRES: pos < text.size().
size_t CharacterLength(std::string_view text, size_t pos, TextMode mode);

// "%02d" of value mod 100 (a negative value counts from 100 down).
std::string TwoDigits(int value);

// "%02d%c%02d%c%02d": three two-digit numbers joined by `separator`, which
// is written as the character it is (a NUL separator stays in the text).
// The shape of every date and time text of the log and the plan.
std::string TwoDigitTriple(int a, int b, int c, char separator);

}  // namespace tolvex
