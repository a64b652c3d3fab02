#include "scan/decide.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "testing/stamps.h"

namespace tolvex {
namespace {

constexpr uint32_t kStamp = StampFromFields(26, 6, 15, 12, 30, 10);  // 2006-06-15 12:30:20
constexpr uint32_t kNever = 0xFFFFFFFFu;  // LastUpdate no stamp reaches

// The decision as an optional state: nullopt when the file is skipped.
std::optional<uint16_t> Decide(const TParameters& parameters, const DecisionInput& input) {
  uint16_t state = 0xDEAD;
  if (!DecideCandidate(parameters, input, &state)) return std::nullopt;
  return state;
}

// --- Orphans ---

struct OrphanCase {
  int32_t touch_mode;
  uint8_t side;
  int32_t TParameters::*orphan_field;  // the mode that should apply
  int32_t orphan_mode;
  uint16_t expected;
};

constexpr uint16_t N = STATE_NORMAL;
constexpr uint16_t I = STATE_IGNORE;
constexpr uint16_t E = STATE_ERASE;
constexpr uint16_t D = STATE_DEST_SIDE;
constexpr uint16_t NW = STATE_NEW_WORK;

TEST(DecideCandidate, OrphanTable) {
  // Orphan modes and touch modes that name no action list the orphan as
  // ignored: an undefined setting never copies over or deletes.
  const OrphanCase cases[] = {
      {0, 0, &TParameters::OrphanModeD1, 0, N},
      {0, 0, &TParameters::OrphanModeD1, 1, I},
      {0, 0, &TParameters::OrphanModeD1, 2, I},
      {0, 0, &TParameters::OrphanModeD1, 3, I},
      {0, 0, &TParameters::OrphanModeD1, -1, I},
      {0, 1, &TParameters::OrphanModeD2, 0, I | D},
      {0, 1, &TParameters::OrphanModeD2, 1, I | D},
      {0, 1, &TParameters::OrphanModeD2, 2, E | D},
      {0, 1, &TParameters::OrphanModeD2, 3, I | D},
      {1, 0, &TParameters::OrphanModeB, 0, N},
      {1, 0, &TParameters::OrphanModeB, 1, I},
      // LastUpdate 0: every orphan is new work, copied instead of erased.
      {1, 0, &TParameters::OrphanModeB, 2, N | NW},
      {1, 0, &TParameters::OrphanModeB, 3, I},
      {1, 1, &TParameters::OrphanModeB, 0, N | D},
      {1, 1, &TParameters::OrphanModeB, 1, I | D},
      {1, 1, &TParameters::OrphanModeB, 2, N | NW | D},
      {1, 1, &TParameters::OrphanModeB, 3, I | D},
      {2, 1, &TParameters::OrphanModeS1, 0, N | D},
      {2, 1, &TParameters::OrphanModeS1, 1, I | D},
      {2, 1, &TParameters::OrphanModeS1, 2, I | D},
      {2, 1, &TParameters::OrphanModeS1, 3, I | D},
      {2, 0, &TParameters::OrphanModeS2, 0, I},
      {2, 0, &TParameters::OrphanModeS2, 1, I},
      {2, 0, &TParameters::OrphanModeS2, 2, E},
      {2, 0, &TParameters::OrphanModeS2, 3, I},
  };
  for (const OrphanCase& c : cases) {
    TParameters parameters;
    // Every other orphan mode holds a value that names no action, so reading
    // the wrong one shows.
    for (auto field : {&TParameters::OrphanModeD1, &TParameters::OrphanModeD2,
                       &TParameters::OrphanModeB, &TParameters::OrphanModeS1,
                       &TParameters::OrphanModeS2}) {
      parameters.*field = 3;
    }
    parameters.*c.orphan_field = c.orphan_mode;
    parameters.TouchMode = c.touch_mode;
    // Orphans never carry the warning bits, even with settings that would
    // give them to every pair.
    parameters.CheckSizes = 1;
    parameters.LastUpdate = 0;
    DecisionInput input;
    input.side = c.side;
    input.stamp = kStamp;
    input.size = 100;
    EXPECT_EQ(Decide(parameters, input), c.expected)
        << "touch " << c.touch_mode << " side " << int{c.side} << " orphan mode " << c.orphan_mode;
  }
}

TEST(DecideCandidate, TwoWayOrphansAreErasedOnlyWhenOlderThanTheLastUpdateAndItsMargin) {
  TParameters parameters;
  parameters.TouchMode = TOLVEX_TOUCH_BOTH_WAYS;
  parameters.OrphanModeB = TOLVEX_ORPHAN_ERASE;
  parameters.LastUpdate = StampFromFields(26, 6, 15, 14, 30, 11);  // two hours after kStamp, and 2 s
  for (uint8_t side : {0, 1}) {
    DecisionInput input;
    input.side = side;
    input.stamp = kStamp;
    const uint16_t dest = side ? D : 0;
    EXPECT_EQ(Decide(parameters, input), E | dest);
    input.stamp = kStamp + 1;  // two seconds later: within the margin
    EXPECT_EQ(Decide(parameters, input), N | NW | dest);
  }
  // The margin on the calendar: from 00:30 on the first of a year back into
  // the last day of the year before; none before the first stamp there is.
  EXPECT_EQ(NewWorkSince(StampFromFields(20, 1, 1, 0, 30)), StampFromFields(19, 12, 31, 22, 30));
  EXPECT_EQ(NewWorkSince(StampFromFields(19, 3, 1, 1, 0, 5)), StampFromFields(19, 2, 28, 23, 0, 5));
  EXPECT_EQ(NewWorkSince(StampFromFields(0, 1, 1, 1, 0)), StampFromFields(0, 1, 1, 0, 0));
  EXPECT_EQ(NewWorkSince(0), 0u);
  EXPECT_EQ(NewWorkSince(kNever), kNever);  // names no real time: taken as it is
}

TEST(DecideCandidate, UnknownTouchModeListsOrphansAsIgnored) {
  for (int32_t touch_mode : {3, -1, 100}) {
    for (int32_t orphan_mode : {0, 1, 2}) {
      TParameters parameters;
      parameters.TouchMode = touch_mode;
      parameters.OrphanModeD1 = parameters.OrphanModeD2 = parameters.OrphanModeB = orphan_mode;
      parameters.OrphanModeS1 = parameters.OrphanModeS2 = orphan_mode;
      DecisionInput input;
      input.stamp = kStamp;
      input.side = 0;
      EXPECT_EQ(Decide(parameters, input), I) << touch_mode << "/" << orphan_mode;
      input.side = 1;
      EXPECT_EQ(Decide(parameters, input), I | D) << touch_mode << "/" << orphan_mode;
    }
  }
}

TEST(DecideCandidate, FreshParameterSetNeverErasesOrCopiesBackOrphans) {
  // All orphan modes start at 0, a value OrphanModeD2 and OrphanModeS2 do
  // not accept.
  TParameters parameters;
  DecisionInput input;
  input.stamp = kStamp;
  input.side = 1;
  EXPECT_EQ(Decide(parameters, input), I | D);
  parameters.TouchMode = 2;
  input.side = 0;
  EXPECT_EQ(Decide(parameters, input), I);
}

// --- Pairs ---

struct PairCase {
  const char* what;
  int32_t touch_mode;
  uint8_t side;
  uint32_t stamp;
  uint64_t size;
  uint32_t counter_stamp;
  uint64_t counter_size;
  uint8_t check_sizes;
  uint32_t last_update;
  std::optional<uint16_t> expected;
};

constexpr uint16_t W = STATE_SIZE_WARNING;
constexpr uint16_t C = STATE_COUNTER_CHANGED;
constexpr uint32_t kOlder = kStamp - 1;  // one unit (two seconds) earlier
constexpr uint32_t k2043 = StampFromFields(63, 12, 31, 23, 59, 29);
constexpr uint32_t k2044 = StampFromFields(64, 1, 1);  // top bit set
constexpr uint64_t kGiB = 1ull << 30;
constexpr std::nullopt_t kSkip = std::nullopt;

void ExpectPairs(const PairCase* begin, const PairCase* end) {
  for (const PairCase* c = begin; c != end; ++c) {
    TParameters parameters;
    parameters.TouchMode = c->touch_mode;
    parameters.CheckSizes = c->check_sizes;
    parameters.LastUpdate = c->last_update;
    parameters.OrphanModeD1 = parameters.OrphanModeB = parameters.OrphanModeS1 = 2;
    DecisionInput input;
    input.side = c->side;
    input.stamp = c->stamp;
    input.size = c->size;
    input.counterpart_present = true;
    input.counter_stamp = c->counter_stamp;
    input.counter_size = c->counter_size;
    EXPECT_EQ(Decide(parameters, input), c->expected) << c->what;
  }
}

TEST(DecideCandidate, EqualPairsAreSkippedInEveryTouchMode) {
  const PairCase cases[] = {
      {"mode 0 source", 0, 0, kStamp, 100, kStamp, 100, 1, 0, kSkip},
      {"mode 1 source", 1, 0, kStamp, 100, kStamp, 100, 1, 0, kSkip},
      {"mode 1 destination", 1, 1, kStamp, 100, kStamp, 100, 1, 0, kSkip},
      {"mode 2 destination", 2, 1, kStamp, 100, kStamp, 100, 1, 0, kSkip},
      {"empty files", 1, 0, kStamp, 0, kStamp, 0, 1, 0, kSkip},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, OneWayModesJudgeAPairOnlyFromTheSideTheyReadFrom) {
  const PairCase cases[] = {
      {"mode 0, newer destination file", 0, 1, kStamp, 100, kOlder, 50, 0, kNever, kSkip},
      {"mode 2, newer source file", 2, 0, kStamp, 100, kOlder, 50, 0, kNever, kSkip},
      {"mode 0, newer source file", 0, 0, kStamp, 100, kOlder, 50, 0, kNever, N},
      {"mode 2, newer destination file", 2, 1, kStamp, 100, kOlder, 50, 0, kNever, N | D},
      {"mode 1, newer destination file", 1, 1, kStamp, 100, kOlder, 50, 0, kNever, N | D},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, StampsOneUnitApartAreDifferent) {
  const PairCase cases[] = {
      {"mode 0, source one unit older", 0, 0, kOlder, 100, kStamp, 100, 0, kNever, kSkip},
      {"mode 1, source one unit older", 1, 0, kOlder, 100, kStamp, 100, 0, kNever, kSkip},
      {"mode 1, destination one unit newer", 1, 1, kStamp, 100, kOlder, 100, 0, kNever, N | D},
      {"mode 0, source one unit newer", 0, 0, kStamp, 100, kOlder, 100, 0, kNever, N},
      // A newer file is copied whatever the sizes.
      {"newer but smaller", 0, 0, kStamp, 1, kOlder, 1000000, 0, kNever, N},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, StampsCompareUnsignedPast2044) {
  const PairCase cases[] = {
      {"2044 against 2043", 0, 0, k2044, 100, k2043, 100, 0, kNever, N},
      {"2043 against 2044", 0, 0, k2043, 100, k2044, 100, 0, kNever, kSkip},
      {"2044 counterpart after LastUpdate 2043", 0, 0, k2044 + 5, 100, k2044, 100, 0, k2043,
       N | C},
      {"2043 counterpart before LastUpdate 2044", 0, 0, k2044, 100, k2043, 100, 0, k2044, N},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

// Both ways each file of such a pair gives a candidate: a conflict.
TEST(DecideCandidate, SameStampOtherSizeWarns) {
  constexpr uint16_t X = STATE_CONFLICT;
  const PairCase cases[] = {
      {"mode 0, 101 against 100", 0, 0, kStamp, 101, kStamp, 100, 0, kNever, N | W},
      {"mode 1 source, 100 against 101", 1, 0, kStamp, 100, kStamp, 101, 0, kNever, N | W | X},
      {"mode 1 destination, 101 against 100", 1, 1, kStamp, 101, kStamp, 100, 0, kNever,
       N | W | X | D},
      {"mode 2 destination", 2, 1, kStamp, 101, kStamp, 100, 0, kNever, N | W | D},
      {"mode 3 (both ways) source", 3, 0, kStamp, 101, kStamp, 100, 0, kNever, N | W | X},
      {"mode 1, newer source", 1, 0, kStamp, 100, kOlder, 101, 0, kNever, N},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, SizeRatioWarning) {
  const PairCase cases[] = {
      {"k 0 is off", 0, 0, kStamp, 1000000, kOlder, 1, 0, kNever, N},
      {"k 1 warns on equal sizes", 0, 0, kStamp, 100, kOlder, 100, 1, kNever, N | W},
      {"k 1 warns on any sizes", 0, 0, kStamp, 100, kOlder, 57, 1, kNever, N | W},
      {"k 2, 200 against 100", 0, 0, kStamp, 200, kOlder, 100, 2, kNever, N | W},
      {"k 2, 199 against 100", 0, 0, kStamp, 199, kOlder, 100, 2, kNever, N},
      {"k 2, 100 against 200", 0, 0, kStamp, 100, kOlder, 200, 2, kNever, N | W},
      {"k 2, 100 against 199", 0, 0, kStamp, 100, kOlder, 199, 2, kNever, N},
      {"k 2, 101 against 201", 0, 0, kStamp, 101, kOlder, 201, 2, kNever, N},
      {"k 2, 100 against 201", 0, 0, kStamp, 100, kOlder, 201, 2, kNever, N | W},
      {"k 255, 25500 against 100", 0, 0, kStamp, 25500, kOlder, 100, 255, kNever, N | W},
      {"k 255, 25499 against 100", 0, 0, kStamp, 25499, kOlder, 100, 255, kNever, N},
      {"empty counterpart, k 1", 0, 0, kStamp, 100, kOlder, 0, 1, kNever, N | W},
      {"empty counterpart, k 255", 0, 0, kStamp, 100, kOlder, 0, 255, kNever, N | W},
      {"empty counterpart, k 0", 0, 0, kStamp, 100, kOlder, 0, 0, kNever, N},
      {"both empty, k 3", 0, 0, kStamp, 0, kOlder, 0, 3, kNever, N | W},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, SizeRatioHoldsForFilesBeyond32Bits) {
  const uint64_t max = UINT64_MAX;
  const PairCase cases[] = {
      // 32-bit products of these would wrap and warn falsely.
      {"k 2, 1 GiB against 1 GiB", 0, 0, kStamp, kGiB, kOlder, kGiB, 2, kNever, N},
      {"k 2, 1.5 GiB against 1.25 GiB", 0, 0, kStamp, 3 * kGiB / 2, kOlder, 5 * kGiB / 4, 2,
       kNever, N},
      {"k 2, 5 GiB against 3 GiB", 0, 0, kStamp, 5 * kGiB, kOlder, 3 * kGiB, 2, kNever, N},
      {"k 2, 6 GiB against 3 GiB", 0, 0, kStamp, 6 * kGiB, kOlder, 3 * kGiB, 2, kNever, N | W},
      {"k 2, 4 GiB against 4 GiB + 1", 0, 0, kStamp, 4 * kGiB, kOlder, 4 * kGiB + 1, 2, kNever,
       N},
      {"same stamp, 4 GiB against 0", 0, 0, kStamp, 4 * kGiB, kStamp, 0, 0, kNever, N | W},
      // 64-bit products would overflow here.
      {"k 2 at the top, exactly twice", 0, 0, kStamp, max - 1, kOlder, max / 2, 2, kNever,
       N | W},
      {"k 2 at the top, just under", 0, 0, kStamp, max, kOlder, max / 2 + 1, 2, kNever, N},
      {"k 255, huge pair", 0, 0, kStamp, max, kOlder, max - 1, 255, kNever, N},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, CounterChangedAtOrAfterLastUpdate) {
  const PairCase cases[] = {
      {"LastUpdate 0", 0, 0, kStamp, 100, kOlder, 100, 0, 0, N | C},
      {"counterpart at LastUpdate", 0, 0, kStamp, 100, kOlder, 100, 0, kOlder, N | C},
      {"counterpart before LastUpdate", 0, 0, kStamp, 100, kOlder, 100, 0, kStamp, N},
      {"destination side, with both warnings", 1, 1, kStamp, 300, kOlder, 100, 3, 0,
       N | W | C | D},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, UnknownTouchModeJudgesPairsFromBothSides) {
  const PairCase cases[] = {
      {"mode 3 source", 3, 0, kStamp, 100, kOlder, 100, 0, kNever, N},
      {"mode 3 destination", 3, 1, kStamp, 100, kOlder, 100, 0, kNever, N | D},
      {"mode 3 older", 3, 1, kOlder, 100, kStamp, 100, 0, kNever, kSkip},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DecideCandidate, NeverSetsBandOrInvert) {
  for (int32_t touch_mode = 0; touch_mode <= 2; ++touch_mode) {
    for (uint8_t side : {0, 1}) {
      for (bool present : {false, true}) {
        TParameters parameters;
        parameters.TouchMode = touch_mode;
        parameters.OrphanModeB = 2;
        DecisionInput input{side, kStamp, 100, present, kOlder, 50};
        uint16_t state = 0;
        if (DecideCandidate(parameters, input, &state)) {
          EXPECT_EQ(state & (STATE_BAND | STATE_INVERT | STATE_DONE | STATE_CONFIRMED), 0);
          const uint16_t action = state & STATE_ACTION;
          EXPECT_TRUE(action == N || action == I || action == E) << std::hex << state;
        }
      }
    }
  }
}

// --- Times within one stamp ---

TEST(CompareWithinStamp, OrdersAtTheCoarserGrainAndNotOnWholeSeconds) {
  struct Case {
    const char* what;
    uint32_t a;
    uint32_t b;
    int expected;  // sign
  };
  const Case cases[] = {
      {"1.8 s later", 1900000000u, 100000000u, 1},
      {"1.8 s earlier", 100000000u, 1900000000u, -1},
      {"nanoseconds apart", 123456789u, 123456788u, 1},
      {"apart below the 100 ns of one side", 123456789u, 123456700u, 0},
      {"apart above the 100 ns of one side", 123456789u, 123456800u, -1},
      {"apart below the 10 ms of one side", 123456789u, 120000000u, 0},
      {"one on a whole second", 1900000000u, 1000000000u, 0},
      {"one on the stamp's own second", 1900000000u, 0u, 0},
      {"one unknown", 1900000000u, kNoFraction, 0},
  };
  for (const Case& c : cases) {
    const int order = CompareWithinStamp(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.expected) << c.what;
  }
}

TEST(DecideCandidate, WithinOneStampFinerTimesDecide) {
  TParameters p;
  p.LastUpdate = kNever;
  DecisionInput newer;
  newer.stamp = newer.counter_stamp = kStamp;
  newer.size = newer.counter_size = 4;
  newer.counterpart_present = true;
  newer.fraction = 1900000000u;
  newer.counter_fraction = 100000000u;
  DecisionInput older = newer;
  std::swap(older.fraction, older.counter_fraction);
  DecisionInput other_size = newer;
  other_size.counter_size = 5;
  DecisionInput whole_second = newer;
  whole_second.counter_fraction = 0;

  p.TouchMode = 0;
  EXPECT_EQ(Decide(p, newer), std::optional<uint16_t>(N));
  EXPECT_EQ(Decide(p, older), std::nullopt);
  EXPECT_EQ(Decide(p, whole_second), std::nullopt);  // the two seconds are one time
  // Both ways a newer file is no conflict, whatever the sizes.
  p.TouchMode = 1;
  EXPECT_EQ(Decide(p, other_size), std::optional<uint16_t>(N));
  other_size.fraction = whole_second.counter_fraction;
  EXPECT_EQ(Decide(p, other_size),
            std::optional<uint16_t>(N | STATE_SIZE_WARNING | STATE_CONFLICT));
}

}  // namespace
}  // namespace tolvex
