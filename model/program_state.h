// The program-wide lists and run flags: for now each names its field of the
// one program-wide Plan (model/plan.h), while the run moves to owning its
// plan. They exist from the loading of the library to its unloading; a run
// fills the lists and empties them at its end.
#pragma once

#include <vector>

#include "model/plan.h"
#include "model/records.h"

namespace tolvex {

extern std::vector<CANDIDATE>& candidates;     // the update plan
extern std::vector<FOLDER>& groups;            // groups of the ordered plan
extern std::vector<STRING>& dirList;           // scanned directories, sorted
extern std::vector<STRING>& counterpartList;   // counterpart of each dirList entry
// What the run found and left alone, with the reason, in the order found:
// missing includes (the checks), names no action may touch (the scan).
extern std::vector<FINDING>& findings;

extern ScanTally& scanTally;
// The unchanged pairs themselves, kept only when a dry run asks to list
// them (a big tree would cost memory for nothing otherwise): each as a
// candidate whose stamp tells equal from older.
extern std::vector<CANDIDATE>& unchangedPairs;

// Set when the user aborts; cleared at the start of every run.
extern bool& Aborted;
// Set by the Interrupt button; the copy pass turns the next copy into a
// failure with the code 0x20000000.
extern bool& InterruptRequest;

extern Plan programPlan;

// Empties the lists (the scan's tally too).
void ClearProgramLists();

}  // namespace tolvex
