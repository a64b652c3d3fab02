// The update decision: whether a scanned file becomes a candidate of the
// plan, and with which state word. The first step of a file's action; the
// steps after it are in scan/action_steps.h.
#pragma once

#include <cstdint>

#include "model/parameters.h"
#include "platform/platform.h"

namespace tolvex {

// One scanned file and what the lookup found of its counterpart.
struct DecisionInput {
  uint8_t side = 0;          // 0 source tree, 1 destination tree
  uint32_t stamp = 0;        // scanned-side packed date/time
  uint64_t size = 0;         // scanned-side size
  bool counterpart_present = false;
  uint32_t counter_stamp = 0;
  uint64_t counter_size = 0;
  // Within the two seconds of each stamp (FindEntry::fraction).
  uint32_t fraction = kNoFraction;
  uint32_t counter_fraction = kNoFraction;
  // The two sides hold other things although their sizes may agree: a link
  // and a file, or two links with other target texts. Such a pair is never
  // equal; with equal stamps it is judged as a pair of other sizes.
  bool contents_differ = false;
  // FindEntry::mode of each side (0 where unknown: Windows, links).
  uint16_t mode = 0;
  uint16_t counter_mode = 0;
  // Both ways, for a pair whose modes alone differ: which side's mode
  // changed last (Platform::ModeInfo::changed): positive this side,
  // negative the counterpart, 0 when it cannot be told.
  int mode_changed_later = 0;
};

// True when both modes are known and their permission bits differ.
inline bool ModesDiffer(uint16_t a, uint16_t b) {
  return (a & kModeKnown) != 0 && (b & kModeKnown) != 0 && ((a ^ b) & kModeBits) != 0;
}

// Orders two last-write times within one two-second stamp: negative when
// `a` is older, positive when newer, 0 when they cannot be told apart.
// Compared at the coarser grain of the two (each time's trailing decimal
// zeros: 1 ns, 100 ns, 10 ms ...), since a copy keeps only as much of a
// time as its file system does. 0 when either is unknown or lies on a
// whole second: a file system with DOS stamps (two seconds) or whole
// seconds keeps no finer time, and there the stamps alone decide, as
// before.
int CompareWithinStamp(uint32_t a, uint32_t b);

// Both ways, a file on one side only stamped at or after this moment is new
// work: LastUpdate minus two hours (the margin covers clock changes and
// clocks that differ by an hour), on the calendar. 0 for LastUpdate 0 (no
// earlier update: everything is new work); a LastUpdate that names no real
// time is taken as it is.
inline constexpr int kNewWorkMarginMinutes = 120;
uint32_t NewWorkSince(uint32_t last_update);

// Returns false when the file is skipped (no candidate); otherwise true with
// the new candidate's state word in *state. Reads TouchMode, the five orphan
// modes, CheckSizes and LastUpdate of `parameters`.
//
// A pair is skipped when the one-way touch mode reads from the other side,
// when the scanned file is older (stamps compared unsigned; within one
// stamp by CompareWithinStamp), or when stamps and sizes are equal; otherwise it is STATE_NORMAL, with STATE_SIZE_WARNING
// (same stamp, other size; or sizes apart by the factor CheckSizes) and
// STATE_COUNTER_CHANGED (counterpart at or after LastUpdate); a pair judged
// from both sides with the same stamp and other sizes is a conflict
// (STATE_CONFLICT): each side gives such a candidate. An orphan is
// never skipped: its action comes from the touch mode's orphan mode, and an
// orphan mode or touch mode that names no action gives STATE_IGNORE; both
// ways, an orphan to erase that is new work (NewWorkSince) is copied instead,
// with STATE_NEW_WORK. A file on side 1 also gets STATE_DEST_SIDE.
//
// An equal pair whose modes differ (ModesDiffer) is no equal pair: it gets
// STATE_NORMAL | STATE_MODE_ONLY (its mode is given to the counterpart,
// nothing is copied), judged from the side a one-way mode reads from; both
// ways from the side whose mode changed last (mode_changed_later), and when
// that cannot be told from the source side.
bool DecideCandidate(const TParameters& parameters, const DecisionInput& input, uint16_t* state);

}  // namespace tolvex
