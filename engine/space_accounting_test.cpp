#include "engine/space_accounting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/plan.h"

namespace tolvex {
namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

CANDIDATE Candidate(uint16_t state, uint64_t size, uint64_t counter_size) {
  return CANDIDATE("file", ".txt", 0, size, counter_size, 0, 0, 0, 0, state);
}

// Two drives S (source) and T (destination), or one drive S, with free space
// and every statistic preset to a value AccountSpace must overwrite.
Plan Drives(bool one_drive, uint64_t free_src, uint64_t free_dest) {
  Plan p;
  p.SourceDrive = 'S';
  p.DestinationDrive = one_drive ? 'S' : 'T';
  p.FreeSrc = free_src;
  p.FreeDest = free_dest;
  p.GrowthSrc = p.GrowthDest = p.NeedDest = p.NeedSrc = p.AvailDest = p.AvailSrc = 77;
  p.CopyBytes = p.FreedSrc = p.FreedDest = 77;
  p.CountToDest = p.CountToSrc = p.NewOnDest = p.NewOnSrc = 77;
  return p;
}

// The fifteen statistics, for comparing whole results.
struct Figures {
  int64_t growthSrc, growthDest;
  uint64_t copyBytes, freeSrc, freeDest, freedSrc, freedDest;
  uint32_t countToDest, countToSrc, newOnDest, newOnSrc;
  int64_t needDest, needSrc, availDest, availSrc;
  bool operator==(const Figures&) const = default;
};

Figures FiguresOf(const Plan& p) {
  return {p.GrowthSrc,   p.GrowthDest, p.CopyBytes,  p.FreeSrc,   p.FreeDest,
          p.FreedSrc,    p.FreedDest,  p.CountToDest, p.CountToSrc, p.NewOnDest,
          p.NewOnSrc,    p.NeedDest,   p.NeedSrc,    p.AvailDest, p.AvailSrc};
}

void PrintTo(const Figures& f, std::ostream* os) {
  *os << "growth " << f.growthSrc << "/" << f.growthDest << " copy " << f.copyBytes << " free "
      << f.freeSrc << "/" << f.freeDest << " freed " << f.freedSrc << "/" << f.freedDest
      << " count->dest " << f.countToDest << " count->src " << f.countToSrc << " new "
      << f.newOnDest << "/" << f.newOnSrc << " need " << f.needDest << "/" << f.needSrc
      << " avail " << f.availDest << "/" << f.availSrc;
}

struct Case {
  const char* name;
  bool one_drive;
  uint64_t free_src, free_dest;
  std::vector<CANDIDATE> plan;
  Figures expected;
};

TEST(AccountSpaceTest, FillsTheStatisticsFromThePlan) {
  const std::vector<Case> cases = {
      {"only ignored, two drives", false, 1000, 5000,
       {Candidate(STATE_IGNORE, 100, 0), Candidate(STATE_IGNORE | STATE_DEST_SIDE, 200, 50)},
       {0, 0, 0, 1000, 5000, 0, 0, 0, 0, 0, 0, 0, 0, 5000, 1000}},
      {"only ignored, one drive", true, 1000, 1000,
       {Candidate(STATE_IGNORE, 100, 0)},
       {0, 0, 0, 1000, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 1000, 0}},
      {"1000 bytes over 3000 on the other drive", false, 0, 0,
       {Candidate(STATE_NORMAL, 1000, 3000)},
       {0, -2000, 1000, 0, 0, 0, 0, 1, 0, 0, 0, -2000, 0, 0, 0}},
      {"new files both ways", false, 10, 20,
       {Candidate(STATE_NORMAL, 500, 0), Candidate(STATE_NORMAL | STATE_DEST_SIDE, 300, 0),
        Candidate(STATE_NORMAL | STATE_DEST_SIDE, 300, 100)},
       {500, 500, 1100, 10, 20, 0, 0, 1, 2, 1, 1, 500, 500, 20, 10}},
      {"erase on both sides, two drives", false, 1000, 2000,
       {Candidate(STATE_ERASE, 100, 40), Candidate(STATE_ERASE | STATE_DEST_SIDE, 70, 30),
        Candidate(STATE_ERASE, 5, 0)},
       {0, 0, 0, 1000, 2000, 135, 110, 0, 0, 0, 0, 0, 0, 2110, 1135}},
      {"erase on both sides, one drive", true, 1000, 1000,
       {Candidate(STATE_ERASE, 100, 40), Candidate(STATE_ERASE | STATE_DEST_SIDE, 70, 30)},
       {0, 0, 0, 1000, 1000, 130, 110, 0, 0, 0, 0, 0, 0, 1240, 0}},
      {"one drive adds both growths", true, 500, 500,
       {Candidate(STATE_NORMAL, 400, 0), Candidate(STATE_NORMAL | STATE_DEST_SIDE, 300, 100),
        Candidate(STATE_ERASE, 50, 0)},
       {200, 400, 700, 500, 500, 50, 0, 1, 1, 1, 0, 600, 0, 550, 0}},
      {"first action bit decides: Ignore, Normal, Invert, Erase", false, 0, 0,
       {Candidate(STATE_IGNORE | STATE_ERASE, 100, 100),
        Candidate(STATE_IGNORE | STATE_NORMAL, 1000, 0),
        Candidate(STATE_NORMAL | STATE_INVERT | STATE_DEST_SIDE, 20, 0),
        Candidate(STATE_NORMAL | STATE_ERASE, 10, 0),
        Candidate(STATE_INVERT | STATE_ERASE | STATE_DEST_SIDE, 1, 4),
        Candidate(STATE_ERASE | STATE_DONE | STATE_CONFIRMED, 7, 0),
        Candidate(STATE_SIZE_WARNING, 1000, 0)},  // no action: counts nowhere
       {20, 13, 31, 0, 0, 7, 0, 2, 1, 1, 1, 13, 20, 0, 7}},
  };
  for (const Case& c : cases) {
    Plan p = Drives(c.one_drive, c.free_src, c.free_dest);
    AccountSpace(p, c.plan);
    EXPECT_EQ(FiguresOf(p), c.expected) << c.name;
  }
}

// An Invert copies the counterpart over the scanned-side file: with
// STATE_DEST_SIDE it is the same copy into the destination tree as a Normal
// candidate without the flag whose sizes are the other way round, and it
// grows the drive by the same amount.
TEST(AccountSpaceTest, InvertCountsLikeTheMirroredNormalCopy) {
  struct Mirror {
    CANDIDATE invert;
    CANDIDATE normal;
  };
  const Mirror mirrors[] = {
      {Candidate(STATE_INVERT | STATE_DEST_SIDE, 1000, 3000), Candidate(STATE_NORMAL, 3000, 1000)},
      {Candidate(STATE_INVERT | STATE_DEST_SIDE, 3000, 1000), Candidate(STATE_NORMAL, 1000, 3000)},
      {Candidate(STATE_INVERT, 1000, 3000), Candidate(STATE_NORMAL | STATE_DEST_SIDE, 3000, 1000)},
  };
  for (const Mirror& m : mirrors) {
    for (bool one_drive : {false, true}) {
      Plan inverted = Drives(one_drive, 1500, 1500);
      Plan normal = Drives(one_drive, 1500, 1500);
      AccountSpace(inverted, {m.invert});
      AccountSpace(normal, {m.normal});
      EXPECT_EQ(inverted.GrowthDest, normal.GrowthDest);
      EXPECT_EQ(inverted.GrowthSrc, normal.GrowthSrc);
      EXPECT_EQ(inverted.CountToDest, normal.CountToDest);
      EXPECT_EQ(inverted.CountToSrc, normal.CountToSrc);
      EXPECT_EQ(inverted.NeedDest, normal.NeedDest);
      EXPECT_EQ(inverted.NeedSrc, normal.NeedSrc);
      EXPECT_EQ(FindSpaceShortfalls(inverted).size(), FindSpaceShortfalls(normal).size());
      // The copy gauge counts the scanned-side size, as the copy pass adds it.
      EXPECT_EQ(inverted.CopyBytes, m.invert.size);
    }
  }
  Plan p = Drives(false, 0, 0);
  AccountSpace(p, {Candidate(STATE_INVERT | STATE_DEST_SIDE, 1000, 3000)});
  EXPECT_EQ(p.GrowthDest, 2000);
  EXPECT_EQ(p.CountToDest, 1u);
  EXPECT_EQ(p.NewOnDest, 0u);
  EXPECT_EQ(p.GrowthSrc, 0);
}

TEST(AccountSpaceTest, LargeFilesAndDrivesDoNotWrap) {
  Plan p = Drives(false, 500 * kGiB, 5 * kGiB);
  AccountSpace(p, {Candidate(STATE_NORMAL, 3 * kGiB, 0), Candidate(STATE_NORMAL, 3 * kGiB, 0),
                   Candidate(STATE_NORMAL | STATE_DEST_SIDE, 5 * kGiB, 1 * kGiB),
                   Candidate(STATE_ERASE | STATE_DEST_SIDE, 4 * kGiB + 1, 0)});
  EXPECT_EQ(p.CopyBytes, 11 * kGiB);
  EXPECT_EQ(p.GrowthDest, static_cast<int64_t>(6 * kGiB));
  EXPECT_EQ(p.GrowthSrc, static_cast<int64_t>(4 * kGiB));
  EXPECT_EQ(p.FreedDest, 4 * kGiB + 1);
  EXPECT_EQ(p.AvailDest, static_cast<int64_t>(9 * kGiB + 1));
  EXPECT_EQ(p.AvailSrc, static_cast<int64_t>(500 * kGiB));
  EXPECT_TRUE(FindSpaceShortfalls(p).empty());  // 6 GiB fit into 9 GiB, 4 GiB into 500 GiB

  // A 4 GiB + 100 byte file onto a drive with 1000 bytes free: in 32 bits the
  // need would be 100 and the shortage missed.
  Plan q = Drives(false, 0, 1000);
  AccountSpace(q, {Candidate(STATE_NORMAL, 4 * kGiB + 100, 0)});
  ASSERT_EQ(FindSpaceShortfalls(q).size(), 1u);
  EXPECT_EQ(FindSpaceShortfalls(q)[0].missingBytes, 4 * kGiB + 100 - 1000);

  // 500 GiB free is 0 in 32 bits: no false warning for a small copy.
  Plan r = Drives(true, 500 * kGiB, 500 * kGiB);
  AccountSpace(r, {Candidate(STATE_NORMAL, 10, 0)});
  EXPECT_TRUE(FindSpaceShortfalls(r).empty());
}

TEST(AccountSpaceTest, ReadsThePlansOwnCandidates) {
  Plan p = Drives(false, 0, 0);
  p.candidates = {Candidate(STATE_NORMAL, 1000, 0), Candidate(STATE_IGNORE, 5, 0)};
  AccountSpace(p);
  EXPECT_EQ(p.CopyBytes, 1000u);
  EXPECT_EQ(p.NewOnDest, 1u);
}

TEST(SpaceShortfallTest, MissingBytesComparesSigned) {
  struct Case {
    int64_t need, available;
    uint64_t missing;
  };
  const Case cases[] = {
      {0, 0, 0},
      {100, 100, 0},
      {101, 100, 1},
      {-2000, 0, 0},  // a shrinking plan never lacks space
      {-5, -10, 5},
      {static_cast<int64_t>(5 * kGiB), static_cast<int64_t>(kGiB), 4 * kGiB},
      {INT64_MAX, 0, static_cast<uint64_t>(INT64_MAX)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MissingBytes(c.need, c.available), c.missing) << c.need << " " << c.available;
  }
}

TEST(SpaceShortfallTest, DestinationDriveComesFirst) {
  Plan p = Drives(false, 100, 200);
  AccountSpace(p, {Candidate(STATE_NORMAL | STATE_DEST_SIDE, 150, 0),
                   Candidate(STATE_NORMAL, 1000, 0)});
  const std::vector<SpaceShortfall> shortfalls = FindSpaceShortfalls(p);
  ASSERT_EQ(shortfalls.size(), 2u);
  EXPECT_EQ(shortfalls[0].drive, 'T');
  EXPECT_EQ(shortfalls[0].missingBytes, 800u);
  EXPECT_EQ(shortfalls[1].drive, 'S');
  EXPECT_EQ(shortfalls[1].missingBytes, 50u);
}

TEST(SpaceShortfallTest, OneDriveWarnsOnlyAboutTheDestination) {
  Plan p = Drives(true, 100, 100);
  AccountSpace(p, {Candidate(STATE_NORMAL | STATE_DEST_SIDE, 150, 0)});
  const std::vector<SpaceShortfall> shortfalls = FindSpaceShortfalls(p);
  ASSERT_EQ(shortfalls.size(), 1u);
  EXPECT_EQ(shortfalls[0].drive, 'S');
  EXPECT_EQ(shortfalls[0].missingBytes, 50u);
}

}  // namespace
}  // namespace tolvex
