#include "model/records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "testing/stamps.h"

namespace tolvex {
namespace {

// --- Stamp text ---

struct StampTextCase {
  uint32_t stamp;
  char date_separator;
  char time_separator;
  const char* expected;
};

TEST(StampText, ShowsMonthFirstWithTwoDigitYearAndEvenSeconds) {
  const StampTextCase cases[] = {
      {StampFromFields(0, 1, 1), '/', ':', "01/01/80 00:00:00"},               // 1980
      {StampFromFields(20, 2, 29, 12, 0, 0), '/', ':', "02/29/00 12:00:00"},    // 2000
      {StampFromFields(27, 7, 4, 9, 5, 3), '/', ':', "07/04/07 09:05:06"},      // 2007
      {StampFromFields(127, 12, 31, 23, 59, 29), '/', ':', "12/31/07 23:59:58"},  // 2107
      {StampFromFields(19, 12, 31, 23, 59, 29), '/', ':', "12/31/99 23:59:58"},
      {StampFromFields(18, 3, 5, 7, 8, 2), '.', '-', "03.05.98 07-08-04"},
      {StampFromFields(44, 10, 9, 1, 2, 1), '-', '.', "10-09-24 01.02.02"},
  };
  for (const StampTextCase& c : cases) {
    EXPECT_EQ(StampText(c.stamp, c.date_separator, c.time_separator), c.expected)
        << "stamp " << std::hex << c.stamp;
  }
}

TEST(StampText, DateHalfIsTheFirstEightCharacters) {
  const uint32_t stamp = StampFromFields(18, 3, 5, 23, 59, 29);
  EXPECT_EQ(StampDateText(stamp, '.'), "03.05.98");
  EXPECT_EQ(StampText(stamp, '.', ':').substr(0, 8), StampDateText(stamp, '.'));
}

// --- Text comparison rule ---

struct CompareCase {
  const char* a;
  const char* b;
  int expected;  // -1, 0, 1
};

TEST(CompareText, FoldsAsciiLettersOnlyAndComparesBytesUnsigned) {
  const CompareCase cases[] = {
      {"Readme", "README", 0},
      {"abc", "ABC", 0},
      {"", "", 0},
      {"A_B", "AZB", 1},       // '_' (0x5F) sorts after every letter
      {"a_b", "azb", 1},       // also after folded lower-case letters
      {"abc", "abd", -1},
      {"[", "a", 1},           // 'a' folds to 0x41, '[' is 0x5B
      {"`", "A", 1},           // 0x60 is not folded
      {"\xE9", "\xC9", 1},     // bytes above 127 are not folded
      {"\xE9", "z", 1},        // and compare unsigned: 0xE9 > 'Z'
      {"\x80", "\x7F", 1},
      {"ab", "abc", -1},       // a prefix sorts first
      {"", "a", -1},
      {"FILE", "file.txt", -1},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(CompareText(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(CompareText(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

// --- STRING ---

TEST(STRING, ConstructionStoresTextAndMark) {
  EXPECT_EQ(STRING().text(), "");
  EXPECT_EQ(STRING().mark(), 0);
  EXPECT_EQ(STRING("C:\\Data\\").mark(), 0);
  const STRING marked("D:\\Backup\\", 1);
  EXPECT_EQ(marked.text(), "D:\\Backup\\");
  EXPECT_EQ(marked.mark(), 1);
}

TEST(STRING, CopyAndAssignmentKeepTheMark) {
  const STRING original("D:\\x\\", 1);
  STRING copy(original);
  EXPECT_EQ(copy.text(), "D:\\x\\");
  EXPECT_EQ(copy.mark(), 1);
  STRING assigned("other", 0);
  assigned = original;
  EXPECT_EQ(assigned.mark(), 1);
  EXPECT_EQ(assigned.text(), "D:\\x\\");
  // The copy owns its text.
  copy.SetText("changed");
  EXPECT_EQ(original.text(), "D:\\x\\");
}

TEST(STRING, SelfAssignmentLeavesItUnchanged) {
  STRING s("C:\\Data\\", 1);
  STRING& alias = s;
  s = alias;
  EXPECT_EQ(s.text(), "C:\\Data\\");
  EXPECT_EQ(s.mark(), 1);
}

TEST(STRING, LessThanUsesTheComparisonRuleAndIgnoresTheMark) {
  const STRING lower("c:\\readme\\", 1);
  const STRING upper("C:\\README\\", 0);
  EXPECT_FALSE(lower < upper);
  EXPECT_FALSE(upper < lower);
  EXPECT_TRUE(STRING("C:\\AZB\\") < STRING("C:\\A_B\\"));

  std::vector<STRING> list = {STRING("C:\\b\\", 1), STRING("C:\\A_B\\"), STRING("C:\\a\\", 1),
                              STRING("C:\\\xC4\\")};
  std::sort(list.begin(), list.end());
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].text(), "C:\\a\\");
  EXPECT_EQ(list[0].mark(), 1);  // the mark travels with its text
  EXPECT_EQ(list[1].text(), "C:\\A_B\\");
  EXPECT_EQ(list[2].text(), "C:\\b\\");
  EXPECT_EQ(list[3].text(), "C:\\\xC4\\");
}

// SortByText folds each text once instead of comparing with the rule; the
// order must be the rule's all the same, ties in their old order.
TEST(STRING, SortByTextOrdersAsTheComparisonRuleAndKeepsTiesInOrder) {
  const char* texts[] = {"C:\\b\\",   "C:\\A_B\\",    "C:\\a\\",   "C:\\\xC4\\", "C:\\AZB\\",
                         "C:\\A\\",   "C:\\ab\\c\\",  "C:\\ab\\",  "C:\\`\\",    "C:\\[\\",
                         "C:\\\x7F\\", "C:\\\x80\\",  "C:\\ab",    "C:\\B\\",    ""};
  std::vector<STRING> list;
  for (size_t i = 0; i < std::size(texts); ++i) list.emplace_back(texts[i], i % 2);
  std::vector<STRING> expected = list;
  std::stable_sort(expected.begin(), expected.end());
  SortByText(&list);
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].text(), expected[i].text()) << i;
    EXPECT_EQ(list[i].mark(), expected[i].mark()) << i;
  }
  // "a" before "A": equal under the rule, kept in their order.
  const auto a = std::find_if(list.begin(), list.end(),
                              [](const STRING& s) { return s.text() == "C:\\a\\"; });
  ASSERT_NE(a, list.end());
  ASSERT_NE(a + 1, list.end());
  EXPECT_EQ((a + 1)->text(), "C:\\A\\");
}

// --- State word ---

struct ReplaceCase {
  uint16_t old_state;
  uint16_t action;
  uint16_t expected;
};

TEST(ReplaceAction, ReplacesTheWholeNibbleAndKeepsEveryFlag) {
  const uint16_t flags = STATE_DEST_SIDE | STATE_BAND | STATE_SIZE_WARNING |
                         STATE_COUNTER_CHANGED | STATE_DONE | STATE_CONFIRMED;
  const ReplaceCase cases[] = {
      {STATE_NORMAL | flags, STATE_IGNORE, STATE_IGNORE | flags},
      {STATE_ERASE | STATE_DEST_SIDE, STATE_INVERT, STATE_INVERT | STATE_DEST_SIDE},
      {STATE_INVERT | STATE_BAND, STATE_ERASE, STATE_ERASE | STATE_BAND},
      {0, STATE_NORMAL, STATE_NORMAL},
      {0x000F, STATE_ERASE, STATE_ERASE},  // a broken nibble is replaced whole
      {0xFFFF, STATE_NORMAL, 0xFFF1},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(ReplaceAction(c.old_state, c.action), c.expected) << std::hex << c.old_state;
  }
}

TEST(StateWord, ActionsFitTheLowNibbleAndFlagsLieAbove) {
  for (uint16_t action : {STATE_NORMAL, STATE_IGNORE, STATE_ERASE, STATE_INVERT}) {
    EXPECT_EQ(action & ~STATE_ACTION, 0) << action;
  }
  for (uint16_t flag : {STATE_DEST_SIDE, STATE_BAND, STATE_SIZE_WARNING, STATE_COUNTER_CHANGED,
                        STATE_DONE, STATE_CONFIRMED}) {
    EXPECT_EQ(flag & STATE_ACTION, 0) << flag;
  }
}

// --- CANDIDATE ---

TEST(CANDIDATE, StampsCompareUnsignedPast2044) {
  static_assert(std::is_unsigned_v<decltype(CANDIDATE::stamp)>);
  static_assert(std::is_unsigned_v<decltype(CANDIDATE::counterStamp)>);
  CANDIDATE before2044;
  CANDIDATE in2044;
  before2044.stamp = StampFromFields(63, 12, 31, 23, 59, 29);
  in2044.stamp = StampFromFields(64, 1, 1);  // top bit set
  EXPECT_LT(before2044.stamp, in2044.stamp);
  // The date word decides whatever the time words hold.
  EXPECT_LT(StampFromFields(20, 1, 1, 23, 59, 29), StampFromFields(20, 1, 2, 0, 0, 0));
}

struct CounterpartCase {
  uint64_t counter_size;
  bool expected;
};

TEST(CANDIDATE, CounterHasBytesOnlyWithANonEmptyCounterpart) {
  const CounterpartCase cases[] = {
      {0, false},  // an empty counterpart counts as absent
      {1, true},
      {0x100000000ull, true},  // 4 GiB: the low 32 bits alone are 0
  };
  for (const CounterpartCase& c : cases) {
    CANDIDATE candidate;
    candidate.counterSize = c.counter_size;
    EXPECT_EQ(candidate.counterHasBytes(), c.expected) << c.counter_size;
  }
}

TEST(CANDIDATE, ConstructorStoresTheTenFieldsInOrder) {
  const CANDIDATE c("name", ".ext", 3, 5000000000ull, 6, 7, 8, 9, 10, 0x0011);
  EXPECT_EQ(c.name, "name");
  EXPECT_EQ(c.extension, ".ext");
  EXPECT_EQ(c.dirIndex, 3);
  EXPECT_EQ(c.size, 5000000000ull);
  EXPECT_EQ(c.counterSize, 6u);
  EXPECT_EQ(c.stamp, 7u);
  EXPECT_EQ(c.counterStamp, 8u);
  EXPECT_EQ(c.attributes, 9u);
  EXPECT_EQ(c.counterAttributes, 10u);
  EXPECT_EQ(c.state, 0x0011);

  const CANDIDATE empty;
  EXPECT_EQ(empty.name, "");
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.state, 0);
}

TEST(CANDIDATE, CopiesAreIndependent) {
  CANDIDATE original("a", ".b", 1, 2, 3, 4, 5, 6, 7, STATE_NORMAL);
  CANDIDATE copy = original;
  copy.name = "changed";
  copy.state = STATE_ERASE;
  EXPECT_EQ(original.name, "a");
  EXPECT_EQ(original.state, STATE_NORMAL);
  CANDIDATE& alias = original;
  original = alias;
  EXPECT_EQ(original.name, "a");
  EXPECT_EQ(original.extension, ".b");
}

// --- FOLDER ---

TEST(FOLDER, ConstructorAndStatistics) {
  FOLDER f("Path C:\\", 4, 9, 1, 2, 3, 4, 5, STATE_NORMAL);
  EXPECT_EQ(f.title, "Path C:\\");
  EXPECT_EQ(f.first, 4);
  EXPECT_EQ(f.last, 9);
  EXPECT_EQ(f.forwardCount, 1);
  EXPECT_EQ(f.backwardCount, 2);
  EXPECT_EQ(f.forwardOrphans, 3);
  EXPECT_EQ(f.backwardOrphans, 4);
  EXPECT_EQ(f.bytes, 5u);
  EXPECT_EQ(f.state, STATE_NORMAL);

  f.SetStatistics(10, 20, 30, 40, 6000000000ull);
  EXPECT_EQ(f.first, 4);
  EXPECT_EQ(f.last, 9);
  EXPECT_EQ(f.forwardCount, 10);
  EXPECT_EQ(f.backwardCount, 20);
  EXPECT_EQ(f.forwardOrphans, 30);
  EXPECT_EQ(f.backwardOrphans, 40);
  EXPECT_EQ(f.bytes, 6000000000ull);
  EXPECT_EQ(f.state, STATE_NORMAL);

  const FOLDER empty;
  EXPECT_EQ(empty.title, "");
  EXPECT_EQ(empty.first, 0);
  EXPECT_EQ(empty.state, 0);
}

}  // namespace
}  // namespace tolvex
