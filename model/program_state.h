// The program-wide lists and run flags. They exist from the loading of the
// library to its unloading; a run fills the lists and empties them at its end.
#pragma once

#include <vector>

#include "model/records.h"

namespace tolvex {

extern std::vector<CANDIDATE> candidates;     // the update plan
extern std::vector<FOLDER> groups;            // groups of the ordered plan
extern std::vector<STRING> dirList;           // scanned directories, sorted
extern std::vector<STRING> counterpartList;   // counterpart of each dirList entry
// What the run found and left alone, with the reason, in the order found:
// missing includes (the checks), names no action may touch (the scan).
extern std::vector<FINDING> findings;

// Set when the user aborts; cleared at the start of every run.
extern bool Aborted;
// Set by the Interrupt button; the copy pass turns the next copy into a
// failure with the code 0x20000000.
extern bool InterruptRequest;

// Empties the lists.
void ClearProgramLists();

}  // namespace tolvex
