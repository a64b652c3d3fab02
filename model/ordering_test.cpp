#include "model/ordering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/plan.h"
#include "testing/stamps.h"

namespace tolvex {
namespace {

CANDIDATE Make(std::string name, std::string extension, int32_t dir_index = 0, uint64_t size = 1,
               uint32_t stamp = StampFromFields(20, 1, 1), uint16_t state = STATE_NORMAL) {
  return CANDIDATE(std::move(name), std::move(extension), dir_index, size, 0, stamp, 0, 0, 0,
                   state);
}

class OrderingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plan_.dirList = {STRING("C:\\Data\\"), STRING("C:\\Data\\Sub\\"),
                     STRING("D:\\Mirror\\Data\\", 1)};
  }

  void Run(int32_t sort_mode, bool reverse = false) {
    parameters_.SortMode = sort_mode;
    parameters_.Reverse = reverse ? 1 : 0;
    OrderAndGroup(parameters_, plan_);
  }

  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (const FOLDER& g : plan_.groups) titles.push_back(g.title);
    return titles;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const CANDIDATE& c : plan_.candidates) names.push_back(c.name + c.extension);
    return names;
  }
  std::vector<std::pair<int32_t, int32_t>> Ranges() {
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (const FOLDER& g : plan_.groups) ranges.emplace_back(g.first, g.last);
    return ranges;
  }

  // The groups cover the candidates once, in order, none empty; each group is
  // a fresh STATE_NORMAL row with zero statistics; its members share one band
  // bit, clear in the first group and alternating from there.
  void ExpectGroupInvariants() {
    ASSERT_FALSE(plan_.groups.empty());
    int32_t next = 0;
    for (size_t k = 0; k < plan_.groups.size(); ++k) {
      const FOLDER& g = plan_.groups[k];
      EXPECT_EQ(g.first, next) << "group " << k;
      EXPECT_GE(g.last, g.first) << "group " << k;
      EXPECT_EQ(g.state, STATE_NORMAL);
      EXPECT_EQ(g.forwardCount + g.backwardCount + g.forwardOrphans + g.backwardOrphans, 0);
      EXPECT_EQ(g.bytes, 0u);
      const uint16_t band = (k % 2 == 0) ? 0 : STATE_BAND;
      for (int32_t i = g.first; i <= g.last && i < static_cast<int32_t>(plan_.candidates.size());
           ++i) {
        EXPECT_EQ(plan_.candidates[i].state & STATE_BAND, band) << "candidate " << i;
      }
      next = g.last + 1;
    }
    EXPECT_EQ(next, static_cast<int32_t>(plan_.candidates.size()));
  }

  TParameters parameters_;
  Plan plan_;
};

// --- Headers of each mode ---

TEST_F(OrderingTest, PathGroupsFollowDirIndexAndShowTheStoredPath) {
  // Files of one folder found in several batches still form one group.
  plan_.candidates = {Make("a", ".txt", 1), Make("b", ".txt", 0), Make("c", ".txt", 1),
                      Make("d", ".txt", 2), Make("e", ".txt", 0)};
  Run(0);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Path C:\\Data\\", "Path C:\\Data\\Sub\\",
                                                "Path D:\\Mirror\\Data\\"}));
  EXPECT_EQ(Ranges(), (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {2, 3}, {4, 4}}));
  // The sort is stable: files of one folder keep their scan order.
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt", "e.txt", "a.txt", "c.txt", "d.txt"}));
  ExpectGroupInvariants();
}

TEST_F(OrderingTest, NameGroupsByUpperCasedInitial) {
  plan_.candidates = {Make("beta", ".c"),   Make("Alpha", ".c"), Make("", ".profile"),
                      Make("alpha2", ".c"), Make("b", ".c"),     Make("_x", ".c")};
  Run(1);
  EXPECT_EQ(Names(), (std::vector<std::string>{".profile", "Alpha.c", "alpha2.c", "b.c", "beta.c",
                                               "_x.c"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"<without name>", "Name A...", "Name B...",
                                                "Name _..."}));
  EXPECT_EQ(Ranges(),
            (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 2}, {3, 4}, {5, 5}}));
  ExpectGroupInvariants();
}

TEST_F(OrderingTest, TypeGroupsMergeLetterCaseAndHeadTheUpperCasedExtension) {
  plan_.candidates = {Make("a", ".txt"), Make("README", ""), Make("b", ".TXT"),
                      Make("c", ".doc"), Make("d", ".Txt"),  Make("", ".profile")};
  Run(2);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"<without type>", "Type .DOC", "Type .PROFILE",
                                                "Type .TXT"}));
  EXPECT_EQ(Ranges(),
            (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}, {2, 2}, {3, 5}}));
  EXPECT_EQ(Names()[0], "README");
  ExpectGroupInvariants();
}

TEST_F(OrderingTest, SizeGroupsRunFromLargestToEmpty) {
  plan_.candidates = {Make("zero", "", 0, 0),
                      Make("ten", "", 0, 10),
                      Make("five", "", 0, 5),
                      Make("huge", "", 0, 5000000000ull),
                      Make("k", "", 0, 999),
                      Make("thousand", "", 0, 1000),
                      Make("billion", "", 0, 1000000000)};
  Run(3);
  EXPECT_EQ(Names(), (std::vector<std::string>{"huge", "billion", "thousand", "k", "ten", "five",
                                               "zero"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Larger than 1000.000.000 Byte",
                                                "1.000 ... 9.999 Byte", "100 ... 999 Byte",
                                                "10 ... 99 Byte", "1 ... 9 Byte", "0 Byte"}));
  ExpectGroupInvariants();

  Run(3, true);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"0 Byte", "1 ... 9 Byte", "10 ... 99 Byte",
                                                "100 ... 999 Byte", "1.000 ... 9.999 Byte",
                                                "Larger than 1000.000.000 Byte"}));
  EXPECT_EQ(Names().back(), "huge");
  ExpectGroupInvariants();
}

TEST_F(OrderingTest, DateGroupsIgnoreTheTimeOfDay) {
  parameters_.DateSeparator = '.';
  plan_.candidates = {Make("morning", "", 0, 1, StampFromFields(18, 3, 5, 8, 0, 0)),
                      Make("older", "", 0, 1, StampFromFields(18, 3, 4, 23, 59, 29)),
                      Make("evening", "", 0, 1, StampFromFields(18, 3, 5, 22, 30, 0)),
                      Make("future", "", 0, 1, StampFromFields(70, 1, 2))};  // 2050: top bit set
  Run(4);
  EXPECT_EQ(Names(), (std::vector<std::string>{"future", "evening", "morning", "older"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Of 01.02.50", "Of 03.05.98", "Of 03.04.98"}));
  EXPECT_EQ(Ranges(), (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 2}, {3, 3}}));
  ExpectGroupInvariants();

  parameters_.DateSeparator = '/';
  Run(4, true);
  EXPECT_EQ(Names(), (std::vector<std::string>{"older", "morning", "evening", "future"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Of 03/04/98", "Of 03/05/98", "Of 01/02/50"}));
}

#if !defined(_WIN32)
// The POSIX code page is UTF-8: an initial is a whole character, and the
// ASCII-only upper-casing leaves it as it is.
TEST_F(OrderingTest, NameInitialIsAWholeUtf8Character) {
  plan_.candidates = {Make("\xC3\xA9t\xC3\xA9", ".txt"), Make("\xC3\xA9"
                                                              "cole",
                                                              ".txt")};
  Run(1);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Name \xC3\xA9..."}));
}
#endif

// --- Size classes ---

TEST(SizeClass, IsExactAtEveryPowerOfTen) {
  const std::pair<uint64_t, int> cases[] = {
      {0, -1},
      {1, 0},
      {9, 0},
      {10, 1},
      {99, 1},
      {100, 2},
      {999, 2},
      {1000, 3},
      {9999, 3},
      {10000, 4},
      {99999, 4},
      {100000, 5},
      {999999, 5},
      {1000000, 6},
      {9999999, 6},
      {10000000, 7},
      {99999999, 7},
      {100000000, 8},
      {999999999, 8},
      {1000000000, 9},
      {4294967295ull, 9},
      {4294967296ull, 9},  // above 4 GiB
      {9999999999ull, 9},
      {10000000000ull, 10},
      {999999999999999999ull, 17},
      {1000000000000000000ull, 18},
      {18446744073709551615ull, 19},
  };
  for (const auto& [size, expected] : cases) EXPECT_EQ(SizeClass(size), expected) << size;
}

TEST(SizeClass, Titles) {
  const std::pair<int, const char*> cases[] = {
      {-1, "0 Byte"},
      {0, "1 ... 9 Byte"},
      {1, "10 ... 99 Byte"},
      {2, "100 ... 999 Byte"},
      {3, "1.000 ... 9.999 Byte"},
      {4, "10.000 ... 99.999 Byte"},
      {5, "100.000 ... 999.999 Byte"},
      {6, "1.000.000 ... 9.999.999 Byte"},
      {7, "10.000.000 ... 99.999.999 Byte"},
      {8, "100.000.000 ... 999.999.999 Byte"},
      {9, "Larger than 1000.000.000 Byte"},
      {10, "Larger than 1000.000.000 Byte"},
      {19, "Larger than 1000.000.000 Byte"},
  };
  for (const auto& [size_class, expected] : cases) {
    EXPECT_EQ(SizeClassTitle(size_class), expected) << size_class;
  }
}

TEST_F(OrderingTest, FilesAbove4GiBShareTheLargestGroupWithGigabyteFiles) {
  // Distinct classes above 9 must not start groups of their own.
  plan_.candidates = {Make("a", "", 0, 1000000000), Make("b", "", 0, 50000000000ull),
                      Make("c", "", 0, 4294967296ull)};
  Run(3);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Larger than 1000.000.000 Byte"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "c", "a"}));
}

// --- Direction ---

struct DirectionCase {
  int32_t sort_mode;
  bool reverse;
  std::vector<std::string> expected_names;
};

TEST_F(OrderingTest, EachModeAndItsReverse) {
  // Each candidate differs in every key, so each mode gives its own order.
  const std::vector<CANDIDATE> start = {
      Make("b", ".z", 2, 3000, StampFromFields(20, 1, 1)), Make("a", ".y", 1, 10, StampFromFields(20, 1, 3)),
      Make("c", ".x", 0, 200, StampFromFields(64, 1, 2))};
  const DirectionCase cases[] = {
      {0, false, {"c.x", "a.y", "b.z"}}, {0, true, {"b.z", "a.y", "c.x"}},
      {1, false, {"a.y", "b.z", "c.x"}}, {1, true, {"c.x", "b.z", "a.y"}},
      {2, false, {"c.x", "a.y", "b.z"}}, {2, true, {"b.z", "a.y", "c.x"}},
      {3, false, {"b.z", "c.x", "a.y"}}, {3, true, {"a.y", "c.x", "b.z"}},
      {4, false, {"c.x", "a.y", "b.z"}}, {4, true, {"b.z", "a.y", "c.x"}},
  };
  for (const DirectionCase& c : cases) {
    plan_.candidates = start;
    Run(c.sort_mode, c.reverse);
    EXPECT_EQ(Names(), c.expected_names) << "mode " << c.sort_mode << " reverse " << c.reverse;
    EXPECT_EQ(plan_.groups.size(), 3u) << "mode " << c.sort_mode;
  }
}

// The ordering moves the records along the cycles of a sorted permutation
// instead of sorting them; it must give stable_sort's order, ties in their
// old order, for every mode, on lists with long cycles and many ties.
TEST_F(OrderingTest, EveryModeOrdersAsAStableSortOfTheRecords) {
  std::vector<CANDIDATE> start;
  uint32_t seed = 12345;
  const auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (uint64_t id = 0; id < 600; ++id) {
    CANDIDATE c = Make(std::string(1, static_cast<char>('a' + next(5))), next(2) ? ".x" : ".Y",
                       static_cast<int32_t>(next(3)), next(4) * 1000,
                       StampFromFields(20 + next(3), 1, 1 + next(2)));
    c.counterSize = id;  // tells records with equal keys apart
    start.push_back(c);
  }
  for (int32_t mode = 0; mode <= 4; ++mode) {
    for (const bool reverse : {false, true}) {
      std::vector<CANDIDATE> expected = start;
      std::stable_sort(expected.begin(), expected.end(), [&](const CANDIDATE& a, const CANDIDATE& b) {
        return CandidateComesBefore(a, b, mode, reverse);
      });
      plan_.candidates = start;
      parameters_.SortMode = mode;
      parameters_.Reverse = reverse ? 1 : 0;
      OrderCandidates(parameters_, plan_);
      ASSERT_EQ(plan_.candidates.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(plan_.candidates[i].counterSize, expected[i].counterSize)
            << "mode " << mode << " reverse " << reverse << " at " << i;
        EXPECT_EQ(plan_.candidates[i].name + plan_.candidates[i].extension,
                  expected[i].name + expected[i].extension);
      }
      // Ordering an ordered list changes nothing.
      OrderCandidates(parameters_, plan_);
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(plan_.candidates[i].counterSize, expected[i].counterSize) << "again, at " << i;
      }
    }
  }
}

TEST_F(OrderingTest, AnyNonZeroReverseReverses) {
  plan_.candidates = {Make("a", ""), Make("b", "")};
  parameters_.SortMode = 1;
  parameters_.Reverse = 7;
  OrderCandidates(parameters_, plan_);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "a"}));
}

TEST(CandidateComesBefore, IsAStrictOrderingOnOneKey) {
  // Same key in every mode, different in everything else.
  const CANDIDATE a = Make("Same", ".TXT", 3, 100, StampFromFields(20, 1, 1, 8));
  const CANDIDATE b("same", ".txt", 3, 100, 999, StampFromFields(20, 1, 1, 8), 5, 1, 2, STATE_ERASE);
  for (int32_t mode = 0; mode <= 4; ++mode) {
    for (bool reverse : {false, true}) {
      EXPECT_FALSE(CandidateComesBefore(a, a, mode, reverse)) << mode;
      EXPECT_FALSE(CandidateComesBefore(a, b, mode, reverse)) << mode;
      EXPECT_FALSE(CandidateComesBefore(b, a, mode, reverse)) << mode;
    }
  }
}

// --- Bands ---

TEST_F(OrderingTest, BandsAlternateWhateverTheBitHeldBefore) {
  const uint16_t flags = STATE_DEST_SIDE | STATE_SIZE_WARNING;
  plan_.candidates = {
      Make("a1", "", 0, 1, StampFromFields(20, 1, 1), STATE_ERASE | STATE_BAND | flags),
      Make("a2", "", 0, 1, StampFromFields(20, 1, 1), STATE_IGNORE),
      Make("b1", "", 1, 1, StampFromFields(20, 1, 1), STATE_INVERT),
      Make("b2", "", 1, 1, StampFromFields(20, 1, 1), STATE_NORMAL | STATE_BAND),
      Make("c1", "", 2, 1, StampFromFields(20, 1, 1), STATE_NORMAL | STATE_BAND | flags)};
  Run(0);
  ASSERT_EQ(plan_.groups.size(), 3u);
  ExpectGroupInvariants();
  // Actions and the other flags survive.
  EXPECT_EQ(plan_.candidates[0].state, STATE_ERASE | flags);
  EXPECT_EQ(plan_.candidates[1].state, STATE_IGNORE);
  EXPECT_EQ(plan_.candidates[2].state, STATE_INVERT | STATE_BAND);
  EXPECT_EQ(plan_.candidates[3].state, STATE_NORMAL | STATE_BAND);
  EXPECT_EQ(plan_.candidates[4].state, STATE_NORMAL | flags);

  // Regrouping in another mode rewrites every band bit again.
  Run(1);
  ASSERT_EQ(plan_.groups.size(), 3u);
  ExpectGroupInvariants();
}

TEST_F(OrderingTest, RegroupingDiscardsOldGroupsAndKeepsActions) {
  plan_.candidates = {Make("a", ".x", 0), Make("b", ".y", 1)};
  Run(0);
  plan_.groups[0].SetStatistics(1, 2, 3, 4, 5);
  plan_.groups[0].state = STATE_ERASE;
  plan_.candidates[1].state = ReplaceAction(plan_.candidates[1].state, STATE_IGNORE);
  Run(0, true);
  ASSERT_EQ(plan_.groups.size(), 2u);
  ExpectGroupInvariants();
  EXPECT_EQ(plan_.candidates[0].name, "b");
  EXPECT_EQ(plan_.candidates[0].state & STATE_ACTION, STATE_IGNORE);
  EXPECT_EQ(plan_.candidates[1].state & STATE_ACTION, STATE_NORMAL);
}

// --- Small and broken inputs ---

TEST_F(OrderingTest, SingleCandidateMakesOneGroup) {
  for (int32_t mode = 0; mode <= 4; ++mode) {
    plan_.candidates = {
        Make("only", ".txt", 0, 1, StampFromFields(20, 1, 1), STATE_NORMAL | STATE_BAND)};
    Run(mode);
    ASSERT_EQ(plan_.groups.size(), 1u) << mode;
    EXPECT_EQ(plan_.groups[0].first, 0);
    EXPECT_EQ(plan_.groups[0].last, 0);
    EXPECT_EQ(plan_.candidates[0].state, STATE_NORMAL);
  }
}

TEST_F(OrderingTest, EmptyListBuildsNoGroup) {
  plan_.groups = {FOLDER("stale", 0, 4, 0, 0, 0, 0, 0, STATE_NORMAL)};
  Run(0);
  EXPECT_TRUE(plan_.groups.empty());
  EXPECT_TRUE(plan_.candidates.empty());
}

TEST_F(OrderingTest, UnknownSortModeNeitherOrdersNorGroups) {
  for (int32_t mode : {5, -1, 1000}) {
    plan_.candidates = {Make("c", ".z", 2, 1, StampFromFields(20, 1, 1), STATE_NORMAL | STATE_BAND),
                        Make("a", ".x", 0, 3), Make("b", ".y", 1, 2)};
    plan_.groups = {FOLDER("stale", 0, 2, 0, 0, 0, 0, 0, STATE_NORMAL)};
    Run(mode);
    EXPECT_TRUE(plan_.groups.empty()) << mode;
    EXPECT_EQ(Names(), (std::vector<std::string>{"c.z", "a.x", "b.y"})) << mode;
    EXPECT_EQ(plan_.candidates[0].state, STATE_NORMAL | STATE_BAND) << mode;
    EXPECT_FALSE(CandidateComesBefore(plan_.candidates[1], plan_.candidates[0], mode, false));
    EXPECT_FALSE(CandidateComesBefore(plan_.candidates[0], plan_.candidates[1], mode, true));
  }
}

TEST_F(OrderingTest, SeparateFunctionsWorkOnTheCurrentOrder) {
  plan_.candidates = {Make("b", ""), Make("a", ""), Make("b2", "")};
  parameters_.SortMode = 1;
  GroupCandidates(parameters_, plan_);  // grouping alone keeps the order
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Name B...", "Name A...", "Name B..."}));
  ExpectGroupInvariants();
  OrderCandidates(parameters_, plan_);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "b2"}));
  EXPECT_EQ(plan_.groups.size(), 3u);  // ordering alone leaves the groups as they were
}

}  // namespace
}  // namespace tolvex
