#include "engine/space_accounting.h"

#include <limits>

#include "model/plan.h"

namespace tolvex {

namespace {

// Byte quantities as signed numbers; no real drive comes near the limit.
int64_t Signed(uint64_t bytes) {
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(bytes > kMax ? kMax : bytes);
}

// The first action bit set, tested in the order Ignore, Normal, Invert, Erase;
// 0 when none is.
uint16_t DecidingAction(uint16_t state) {
  for (uint16_t action : {STATE_IGNORE, STATE_NORMAL, STATE_INVERT, STATE_ERASE}) {
    if (state & action) return action;
  }
  return 0;
}

// A Normal copy writes the scanned-side file over the counterpart; an Invert
// copy writes the counterpart over the scanned-side file.
int64_t CopyGrowth(const CANDIDATE& c, uint16_t action) {
  const int64_t written = Signed(action == STATE_INVERT ? c.counterSize : c.size);
  const int64_t replaced = Signed(action == STATE_INVERT ? c.size : c.counterSize);
  return written - replaced;
}

void ResetPlanFigures(Plan& p) {
  p.GrowthSrc = p.GrowthDest = 0;
  p.CopyBytes = p.FreedSrc = p.FreedDest = 0;
  p.CountToDest = p.CountToSrc = p.NewOnDest = p.NewOnSrc = 0;
}

// A mode set (STATE_MODE_ONLY) counts as a file written to its side, but
// writes no bytes and needs no room.
void CountCopy(Plan& p, const CANDIDATE& c, uint16_t action) {
  const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
  const bool into_destination = (action == STATE_NORMAL) != dest_side;
  const bool mode_only = (c.state & STATE_MODE_ONLY) != 0;
  const bool new_file = c.counterSize == 0 && !mode_only;
  const int64_t growth = mode_only ? 0 : CopyGrowth(c, action);
  if (into_destination) {
    p.GrowthDest += growth;
    ++p.CountToDest;
    if (new_file) ++p.NewOnDest;
  } else {
    p.GrowthSrc += growth;
    ++p.CountToSrc;
    if (new_file) ++p.NewOnSrc;
  }
  if (!mode_only) p.CopyBytes += c.size;
}

void CountErase(Plan& p, const CANDIDATE& c) {
  const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
  p.FreedSrc += dest_side ? c.counterSize : c.size;
  p.FreedDest += dest_side ? c.size : c.counterSize;
}

void SetNeedsAndAvailability(Plan& p) {
  if (p.SourceDrive != p.DestinationDrive) {
    p.NeedDest = p.GrowthDest;
    p.AvailDest = Signed(p.FreeDest + p.FreedDest);
    p.NeedSrc = p.GrowthSrc;
    p.AvailSrc = Signed(p.FreeSrc + p.FreedSrc);
  } else {
    p.NeedDest = p.GrowthSrc + p.GrowthDest;
    p.AvailDest = Signed(p.FreeDest + p.FreedSrc + p.FreedDest);
    p.NeedSrc = 0;
    p.AvailSrc = 0;
  }
}

}  // namespace

void AccountSpace(Plan& plan, const std::vector<CANDIDATE>& candidates) {
  ResetPlanFigures(plan);
  for (const CANDIDATE& c : candidates) {
    const uint16_t action = DecidingAction(c.state);
    if (action == STATE_NORMAL || action == STATE_INVERT) CountCopy(plan, c, action);
    if (action == STATE_ERASE) CountErase(plan, c);
  }
  SetNeedsAndAvailability(plan);
}

void AccountSpace(Plan& plan) { AccountSpace(plan, plan.candidates); }

uint64_t MissingBytes(int64_t need, int64_t available) {
  if (need <= available) return 0;
  // The difference of two signed numbers, taken in unsigned arithmetic so
  // that it cannot overflow.
  return static_cast<uint64_t>(need) - static_cast<uint64_t>(available);
}

std::vector<SpaceShortfall> FindSpaceShortfalls(const Plan& plan) {
  std::vector<SpaceShortfall> shortfalls;
  const uint64_t dest = MissingBytes(plan.NeedDest, plan.AvailDest);
  if (dest != 0) shortfalls.push_back({plan.DestinationDrive, dest});
  const uint64_t src = MissingBytes(plan.NeedSrc, plan.AvailSrc);
  if (src != 0) shortfalls.push_back({plan.SourceDrive, src});
  return shortfalls;
}

}  // namespace tolvex
