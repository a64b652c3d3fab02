// The sync state file in a run (Extension.syncStatePath): read before the
// scan, so that the scan judges two-way orphans by it (syncRun), and written
// after a run that completed with nothing failed, from the pairs the scan
// met and what the passes did to them.
#pragma once

#include <string>

#include "engine/run_items.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "model/run_extension.h"

namespace tolvex {

// Before the scan, with DestinationRoot the folder the scan reads: sets
// syncRun.evidence (and the list of the working folder) and whether the
// scan gathers pairs (two-way runs with a sync state file, but VaryMode 4:
// its working folder holds another generation after each rotation, so no
// list can speak for it).
// Keys keep letter case when plan.namesTellCaseApart is set (scan/pair_name_rules.h).
void BeginSyncState(const TParameters& parameters, Plan& plan, const TExtension& extension);

// Each outcome of the passes: copies and erasures done, and failures.
void NoteSyncOutcome(SyncRun& sync_run, const TolvexItem& item, const std::string& from,
                     const std::string& to);

// After the folder removal of a run that was not aborted: writes the list of
// the working folder (the other folders' lists kept) under a temporary name
// beside the file and copies it over the file in one step. Nothing is written
// after a failed copy or erasure, or in a dry run. False when writing failed.
bool EndSyncState(Plan& plan, const TExtension& extension);

}  // namespace tolvex
