#include "scan/decide.h"

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

uint16_t DecideOrphan(const TParameters& parameters, bool destination_side) {
  switch (parameters.TouchMode) {
    case TOLVEX_TOUCH_TO_DESTINATION:
      return destination_side ? OrphanAction(parameters.OrphanModeD2, false, true)
                              : OrphanAction(parameters.OrphanModeD1, true, false);
    case TOLVEX_TOUCH_BOTH_WAYS:
      return OrphanAction(parameters.OrphanModeB, true, true);
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

// Steps of a pair whose counterpart exists. False when the pair is skipped.
bool DecidePair(const TParameters& parameters, const DecisionInput& input,
                bool destination_side, uint16_t* state) {
  // The one-way modes judge a pair only from the side they read from.
  if (parameters.TouchMode == TOLVEX_TOUCH_TO_DESTINATION && destination_side) return false;
  if (parameters.TouchMode == TOLVEX_TOUCH_TO_SOURCE && !destination_side) return false;
  const uint32_t a = input.stamp;
  const uint32_t b = input.counter_stamp;
  if (a < b) return false;  // the counterpart is newer
  uint16_t result = STATE_NORMAL;
  if (a == b) {
    if (input.size == input.counter_size) return false;  // equal pair
    result |= STATE_SIZE_WARNING;
  }
  const uint8_t k = parameters.CheckSizes;
  if (k != 0 && SizesDifferByFactor(input.size, input.counter_size, k)) {
    result |= STATE_SIZE_WARNING;
  }
  if (b >= parameters.LastUpdate) result |= STATE_COUNTER_CHANGED;
  *state = result;
  return true;
}

}  // namespace

bool DecideCandidate(const TParameters& parameters, const DecisionInput& input, uint16_t* state) {
  const bool destination_side = input.side != 0;
  uint16_t result = 0;
  if (input.counterpart_present) {
    if (!DecidePair(parameters, input, destination_side, &result)) return false;
  } else {
    result = DecideOrphan(parameters, destination_side);
  }
  if (destination_side) result |= STATE_DEST_SIDE;
  *state = result;
  return true;
}

}  // namespace tolvex
