// Drive space accounting: what the plan copies and erases on each drive, and
// whether the drives that receive the copies have room for them.
#pragma once

#include <cstdint>
#include <vector>

#include "model/plan.h"
#include "model/records.h"

namespace tolvex {

// Fills the statistics of `plan` from `candidates`: the growths, CopyBytes,
// the freed amounts, the four counts, and the needs and availabilities.
// FreeSrc and FreeDest (measured by the run beforehand) are read, not written.
// Each candidate counts by the first action bit set, in the order Ignore,
// Normal, Invert, Erase, on the drive it is written to or erased from:
//   copy into the destination tree  Normal without STATE_DEST_SIDE, Invert with it
//   copy into the source tree       Normal with STATE_DEST_SIDE, Invert without it
// A copy grows its drive by the bytes written minus the bytes they replace
// (negative over a larger file); an Invert writes the counterpart over the
// scanned-side file. CopyBytes, the copy gauge's total, adds `size` for every
// copy, as the copy pass counts it.
// With two drives each drive's need is its own growth and its availability
// its free space plus what the plan erases there. With one drive everything
// counts on the destination drive, and the source's need and availability
// are 0.
void AccountSpace(Plan& plan, const std::vector<CANDIDATE>& candidates);
// The same over the plan's own `candidates`.
void AccountSpace(Plan& plan);

// The bytes a drive lacks: need - available when the need is greater (as
// signed numbers), else 0.
uint64_t MissingBytes(int64_t need, int64_t available);

// A drive that lacks room for the plan.
struct SpaceShortfall {
  char drive = 0;             // DestinationDrive or SourceDrive
  uint64_t missingBytes = 0;  // > 0
};

// The drives the run warns about after AccountSpace, the destination drive
// first, then the source drive. Empty when the plan fits.
std::vector<SpaceShortfall> FindSpaceShortfalls(const Plan& plan);

}  // namespace tolvex
