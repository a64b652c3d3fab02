#include "scan/decide.h"

#include <algorithm>
#include <chrono>

#include "platform/dos_stamp.h"

namespace tolvex {

namespace {

// The action of an orphan under one orphan mode. Each mode accepts only some
// codes; a code it does not accept (or any value out of range) sets no action
// in the rules, and such a candidate is listed as ignored: an undefined
// setting never copies over or deletes anything.
uint16_t OrphanAction(int32_t orphan_mode, bool normal_allowed, bool erase_allowed) {
  if (orphan_mode == TOLVEX_ORPHAN_COPY && normal_allowed) return STATE_NORMAL;
  if (orphan_mode == TOLVEX_ORPHAN_ERASE && erase_allowed) return STATE_ERASE;
  return STATE_IGNORE;
}

uint16_t DecideOrphan(const TParameters& parameters, bool destination_side, uint32_t stamp) {
  switch (parameters.TouchMode) {
    case TOLVEX_TOUCH_TO_DESTINATION:
      return destination_side ? OrphanAction(parameters.OrphanModeD2, false, true)
                              : OrphanAction(parameters.OrphanModeD1, true, false);
    case TOLVEX_TOUCH_BOTH_WAYS: {
      const uint16_t action = OrphanAction(parameters.OrphanModeB, true, true);
      // Both ways, a file on one side only is taken for one deleted on the
      // other; but one made since the last update is new work, and erasing
      // it would destroy the only version. It goes across, as mode 0 would.
      if (action == STATE_ERASE && stamp >= NewWorkSince(parameters.LastUpdate)) {
        return STATE_NORMAL | STATE_NEW_WORK;
      }
      return action;
    }
    case TOLVEX_TOUCH_TO_SOURCE:
      return destination_side ? OrphanAction(parameters.OrphanModeS1, true, false)
                              : OrphanAction(parameters.OrphanModeS2, false, true);
    default:
      return STATE_IGNORE;
  }
}

// True when one size is at least k times the other (k > 0). Compared as
// other <= size / k, which equals k * other <= size for whole numbers and
// cannot overflow, whatever the sizes.
bool SizesDifferByFactor(uint64_t size, uint64_t other, uint64_t k) {
  return other <= size / k || size <= other / k;
}

// A pair of one stamp and size: equal, unless its modes differ. The
// one-way modes reach here only from the side they read from.
bool DecideModeOnly(const TParameters& parameters, const DecisionInput& input,
                    bool destination_side, uint16_t* state) {
  if (!ModesDiffer(input.mode, input.counter_mode)) return false;
  if (parameters.TouchMode == TOLVEX_TOUCH_BOTH_WAYS) {
    // The side whose mode changed last wins; at a tie the source's mode is
    // the one a backup keeps.
    if (input.mode_changed_later < 0) return false;
    if (input.mode_changed_later == 0 && destination_side) return false;
  } else if (parameters.TouchMode != TOLVEX_TOUCH_TO_DESTINATION &&
             parameters.TouchMode != TOLVEX_TOUCH_TO_SOURCE) {
    return false;
  }
  *state = STATE_NORMAL | STATE_MODE_ONLY;
  return true;
}

// Steps of a pair whose counterpart exists. False when the pair is skipped.
bool DecidePair(const TParameters& parameters, const DecisionInput& input,
                bool destination_side, uint16_t* state) {
  // The one-way modes judge a pair only from the side they read from.
  if (parameters.TouchMode == TOLVEX_TOUCH_TO_DESTINATION && destination_side) return false;
  if (parameters.TouchMode == TOLVEX_TOUCH_TO_SOURCE && !destination_side) return false;
  const uint32_t a = input.stamp;
  const uint32_t b = input.counter_stamp;
  if (a < b) return false;  // the counterpart is newer
  // Within one stamp, finer times tell an edit made a second after the
  // backup from the backup itself.
  const int within = a == b ? CompareWithinStamp(input.fraction, input.counter_fraction) : 0;
  if (within < 0) return false;
  uint16_t result = STATE_NORMAL;
  if (a == b && within == 0) {
    if (input.size == input.counter_size && !input.contents_differ) {
      return DecideModeOnly(parameters, input, destination_side, state);
    }
    result |= STATE_SIZE_WARNING;
    // Judged from both sides, each file of the pair offers to copy itself
    // over the other, and nothing tells which version is newer.
    if (parameters.TouchMode != TOLVEX_TOUCH_TO_DESTINATION &&
        parameters.TouchMode != TOLVEX_TOUCH_TO_SOURCE) {
      result |= STATE_CONFLICT;
    }
  }
  const uint8_t k = parameters.CheckSizes;
  if (k != 0 && SizesDifferByFactor(input.size, input.counter_size, k)) {
    result |= STATE_SIZE_WARNING;
  }
  if (b >= parameters.LastUpdate) result |= STATE_COUNTER_CHANGED;
  *state = result;
  return true;
}

// The decimal grain a time within a stamp shows: the largest power of ten
// below a second that divides it.
uint32_t GrainOf(uint32_t nanoseconds) {
  uint32_t grain = 1;
  while (grain < 100000000u && nanoseconds % (grain * 10) == 0) grain *= 10;
  return grain;
}

}  // namespace

int CompareWithinStamp(uint32_t a, uint32_t b) {
  constexpr uint32_t kSecond = 1000000000u;
  if (a == kNoFraction || b == kNoFraction) return 0;
  if (a % kSecond == 0 || b % kSecond == 0) return 0;
  const uint32_t grain = std::max(GrainOf(a % kSecond), GrainOf(b % kSecond));
  a /= grain;
  b /= grain;
  return a < b ? -1 : (a > b ? 1 : 0);
}

uint32_t NewWorkSince(uint32_t last_update) {
  if (last_update == 0 || !IsValidStamp(last_update)) return last_update;
  const LocalTime last = UnpackStamp(last_update);
  using namespace std::chrono;
  sys_days day{year_month_day{year{last.year}, month{static_cast<unsigned>(last.month)},
                              std::chrono::day{static_cast<unsigned>(last.day)}}};
  int minutes = last.hour * 60 + last.minute - kNewWorkMarginMinutes;
  while (minutes < 0) {
    day -= days{1};
    minutes += 24 * 60;
  }
  const year_month_day date{day};
  LocalTime since;
  since.year = static_cast<int>(date.year());
  since.month = static_cast<int>(static_cast<unsigned>(date.month()));
  since.day = static_cast<int>(static_cast<unsigned>(date.day()));
  since.hour = minutes / 60;
  since.minute = minutes % 60;
  since.second = last.second;
  // Before 1980 no stamp exists: every file counts as new work.
  return PackStamp(since);
}

bool DecideCandidate(const TParameters& parameters, const DecisionInput& input, uint16_t* state) {
  const bool destination_side = input.side != 0;
  uint16_t result = 0;
  if (input.counterpart_present) {
    if (!DecidePair(parameters, input, destination_side, &result)) return false;
  } else {
    result = DecideOrphan(parameters, destination_side, input.stamp);
  }
  if (destination_side) result |= STATE_DEST_SIDE;
  *state = result;
  return true;
}

}  // namespace tolvex
