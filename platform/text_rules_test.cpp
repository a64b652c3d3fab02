#include "platform/text_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvex {
namespace {

TEST(TextRules, CaselessOrderFoldsOnlyAsciiLettersToUpperCase) {
  struct Case {
    std::string a, b;
    int sign;
  };
  const Case cases[] = {
      {"Readme", "README", 0},
      {"A_B", "AZB", 1},          // '_' (0x5F) sorts after 'Z' (0x5A): folded up, not down
      {"a_b", "azb", 1},
      {"abc", "abcd", -1},        // a text that ends first sorts first
      {"\xC3\xA9", "\xC3\x89", 1},  // bytes above 127 are not folded
      {"\xE9", "z", 1},           // and compare unsigned
      {"", "", 0},
  };
  for (const Case& c : cases) {
    const int result = CompareAsciiCaseless(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
  EXPECT_EQ(AsciiUpperText("ab\xC3\xA9_z"), "AB\xC3\xA9_Z");
  EXPECT_EQ(AsciiLowerText("AB\xC3\x89_Z"), "ab\xC3\x89_z");
}

TEST(TextRules, CharacterLengthNeverSplitsAWellFormedCharacter) {
  struct Case {
    std::string text;
    size_t utf8;  // length of the first character in UTF-8 mode
  };
  const Case cases[] = {
      {"a", 1},
      {"\xC3\xA9x", 2},
      {"\xE2\x80\xA6", 3},
      {"\xF0\x9F\x98\x80", 4},
      {"\xC3", 1},              // cut sequence
      {"\xC3(", 1},             // broken sequence
      {"\x80\x80", 1},          // continuation byte first
      {"\xC0\x80", 1},          // overlong lead
      {"\xF5\x80\x80\x80", 1},  // beyond U+10FFFF
      // The lead alone does not decide: its second byte must fit it too.
      {"\xE0\x80\x80", 1},       // overlong three-byte form of U+0000
      {"\xE0\xA0\x80", 3},       // U+0800, the first three-byte character
      {"\xED\xBE\xBE", 1},       // a UTF-16 surrogate, no character
      {"\xED\x9F\xBF", 3},       // U+D7FF, the last one before them
      {"\xF0\x80\x80\xAF", 1},  // overlong four-byte form of '/'
      {"\xF4\x8F\xBF\xBF", 4},  // U+10FFFF, the last character
      {"\xF4\x90\x80\x80", 1},  // beyond U+10FFFF with a lead below F5
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharacterLength(c.text, 0, TextMode::kUtf8), c.utf8) << c.text;
    EXPECT_EQ(CharacterLength(c.text, 0, TextMode::kBytes), 1u) << c.text;
  }
  uint32_t code_point = 0;
  EXPECT_EQ(Utf8SequenceLength("\xE2\x80\xA6", 0, &code_point), 3u);
  EXPECT_EQ(code_point, 0x2026u);
  EXPECT_EQ(Utf8SequenceLength("\xC3", 0), 0u);
}

TEST(TextRules, TwoDigitNumbersKeepTheSeparatorAsItIs) {
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(126), "26");  // a year since 1900
  EXPECT_EQ(TwoDigits(-1), "99");
  EXPECT_EQ(TwoDigitTriple(3, 14, 99, '.'), "03.14.99");
  EXPECT_EQ(TwoDigitTriple(1, 2, 3, '\0'), std::string("01\0" "02\0" "03", 8));
}

}  // namespace
}  // namespace tolvex
