#include "log/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvex {
namespace {

constexpr TextMode kBytes = TextMode::kBytes;
constexpr TextMode kUtf8 = TextMode::kUtf8;

const std::string kEuro = "\xE2\x82\xAC";  // U+20AC, three bytes
const std::string kUmlaut = "\xC3\xA4";    // U+00E4, two bytes
const std::string kClef = "\xF0\x9D\x84\x9E";  // U+1D11E, four bytes

// n characters "0123456789" repeated.
std::string Digits(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += static_cast<char>('0' + i % 10);
  return text;
}

std::string Repeat(const std::string& piece, size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += piece;
  return text;
}

TEST(LogTextTest, CountsCharactersPerMode) {
  struct Case {
    std::string text;
    size_t bytes;
    size_t utf8;
  };
  const Case cases[] = {
      {"", 0, 0},
      {"abc", 3, 3},
      {kUmlaut + kEuro + kClef, 9, 3},
      {"\x85", 1, 1},               // a lone continuation byte: one character
      {"\xE2\x82", 2, 2},           // a cut-off sequence: each byte on its own
      {"\xC0\xAF", 2, 2},           // overlong lead
      {"a" + kEuro + "\xFF" + "b", 6, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharacterCount(c.text, kBytes), c.bytes) << c.text;
    EXPECT_EQ(CharacterCount(c.text, kUtf8), c.utf8) << c.text;
  }
}

TEST(LogTextTest, AlignsByCharactersAndKeepsLongTextsWhole) {
  EXPECT_EQ(AlignRight("File copied", 21, kBytes), "          File copied");
  EXPECT_EQ(AlignLeft("ab", 5, kBytes), "ab   ");
  EXPECT_EQ(AlignLeft(kEuro + kEuro, 5, kUtf8), kEuro + kEuro + "   ");
  EXPECT_EQ(AlignRight(kEuro, 3, kUtf8), "  " + kEuro);
  // The same bytes are six characters in the ANSI rule: no padding.
  EXPECT_EQ(AlignLeft(kEuro + kEuro, 5, kBytes), kEuro + kEuro);
  EXPECT_EQ(AlignRight(Digits(30), 21, kUtf8), Digits(30));
}

TEST(LogTextTest, ShortensAsciiPathsAbove55Characters) {
  for (TextMode mode : {kBytes, kUtf8}) {
    EXPECT_EQ(ShortenLogPath(Digits(55), mode), Digits(55));
    EXPECT_EQ(ShortenLogPath("", mode), "");
  }
  const std::string path = Digits(56);
  const std::string head = path.substr(0, 16);
  const std::string tail = path.substr(56 - 38);
  EXPECT_EQ(ShortenLogPath(path, kBytes), head + "\x85" + tail);
  EXPECT_EQ(ShortenLogPath(path, kUtf8), head + "\xE2\x80\xA6" + tail);
  EXPECT_EQ(CharacterCount(ShortenLogPath(Digits(300), kUtf8), kUtf8), 55u);
  EXPECT_EQ(ShortenLogPath(Digits(300), kBytes).size(), 55u);
}

TEST(LogTextTest, Utf8ShorteningCountsCharactersAndNeverSplitsOne) {
  // 55 characters of several byte lengths: unchanged.
  const std::string exact = Repeat(kEuro, 20) + Repeat(kUmlaut, 20) + Repeat(kClef, 15);
  ASSERT_EQ(CharacterCount(exact, kUtf8), 55u);
  EXPECT_EQ(ShortenLogPath(exact, kUtf8), exact);
  // The ANSI rule counts its 165 bytes and shortens it.
  EXPECT_EQ(ShortenLogPath(exact, kBytes).size(), 55u);

  // 56 characters with multi-byte characters right at both cut points.
  const std::string head = Digits(15) + kEuro;        // 16 characters
  const std::string dropped = kUmlaut + kUmlaut;      // the two characters left out
  const std::string tail = kClef + Digits(36) + kEuro;  // 38 characters
  const std::string path = head + dropped + tail;
  ASSERT_EQ(CharacterCount(path, kUtf8), 56u);
  EXPECT_EQ(ShortenLogPath(path, kUtf8), head + "\xE2\x80\xA6" + tail);
}

TEST(LogTextTest, ReplacesControlCharactersOnly) {
  EXPECT_EQ(PrintableLogText("a\nb\rc\td\x7F" "e", kUtf8), "a?b?c?d?e");
  EXPECT_EQ(PrintableLogText("C:\\100%\\x.txt", kBytes), "C:\\100%\\x.txt");
  // U+0085 (NEL) is a C1 control in UTF-8; other characters pass unchanged.
  EXPECT_EQ(PrintableLogText("a\xC2\x85" + kUmlaut + kEuro, kUtf8), "a?" + kUmlaut + kEuro);
  // In the ANSI code page 0x85 is the ellipsis, not a control.
  EXPECT_EQ(PrintableLogText("a\x85" "b", kBytes), "a\x85" "b");
  // Malformed UTF-8 bytes are kept as they are.
  EXPECT_EQ(PrintableLogText("\xFF\xE2\x82", kUtf8), "\xFF\xE2\x82");
}

}  // namespace
}  // namespace tolvex
