// The search phase of an update run: turns the selections of the parameter
// set into the plan's dirList (the folders visited, sorted), counterpartList
// (the counterpart of each) and candidates (one per file the update decision
// keeps).
#pragma once

#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/progress.h"

namespace tolvex {

// Runs the scan of the job `parameters` into `plan`, whose DestinationRoot
// (the folder the scan reads) is set. `progress` shows the status line
// and the gauge (null: nothing is shown). Stops at its next test when
// plan.Aborted is set; the lists then hold what was built so far, and dirList is
// left unsorted when the folder phase was cut short.
//
// Appended to `findings`: the native path of every name the Windows
// namespace cannot hold that the scan met in a folder it visits (files, and
// subfolders it could not enter), each path once, in the order met; the run
// writes one "Unusable name" log line for each.
//
// Each file the scan keeps is decided as it is met (DecideCandidate); the
// decided actions are then adjusted over the whole plan, step by step, as
// scan/action_steps.h tells (two-way orphans, name clashes of flat runs,
// conflicts), each reported in `findings`.
//
// An include whose folder is missing gets no destination twin: the copies
// of a folder that is gone are left alone, not taken for orphans.
//
// The scan refuses to guess: with a path mode other than 0, 1 and 2, or a
// DestinationRoot that is not a folder path in drive form ("E:\Backup\"),
// no folder has a known counterpart, and the scan visits nothing.
// A file pattern with a separator or a colon matches nothing: it would name
// files of another folder.
void ScanTrees(const TParameters& parameters, Plan& plan, SearchProgressView* progress);

}  // namespace tolvex
