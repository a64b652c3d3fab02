// Two-way runs with OrphanModeB 2 (erase): which files on one side only
// were deleted on the other side, and which are new there. The decision
// (DecideCandidate) judged each orphan by its stamp alone; this pass, after
// the scan, judges them again with what the run knows (syncRun):
//   - a list of the working folder (the sync state): an orphan both sides
//     held after the last completed run, unchanged since (its size and
//     stamp as listed for its side), was deleted on the other side and is
//     erased (STATE_DELETED_ELSEWHERE); every other orphan is new and copied
//     (STATE_NEW_WORK), whatever its stamp;
//   - a working folder the job has not completed a run into (no list for it
//     in the sync state; a working folder that changes from run to run, with
//     no list to tell): every orphan is new and copied;
//   - no sync state: the stamp rule stands (erased: STATE_DELETED_ELSEWHERE),
//     except both ends of a move: an orphan on each side with the same size
//     and stamp and the same name, or in the same folder (or in folders that
//     such a pair shows moved), is one file moved or renamed on one side.
//     Both ends are copied (STATE_MOVED: nothing is lost, the duplicate shows)
//     and reported (TOLVEX_REPORT_MOVED, each end).
#pragma once

#include "model/parameters.h"
#include "model/plan.h"
#include "scan/finding_sink.h"

namespace tolvex {

void JudgeTwoWayOrphans(const TParameters& parameters, Plan& plan, FindingSink* sink);

// Notes a pair the scan met (from the source side) for the sync state.
void GatherSyncPair(SyncRun& sync_run, const std::string& source_path,
                    const std::string& destination_path, uint64_t source_size,
                    uint32_t source_stamp, uint64_t destination_size, uint32_t destination_stamp);

}  // namespace tolvex
