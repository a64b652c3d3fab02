// What one run knows: what it works out from the parameter set (drives,
// roots, space statistics), the plan's lists, what the scan saw beside them,
// the sync state it gathers and the run's flags. A run owns one Plan from its
// checks to its log; nothing of it outlives the run. A test makes a fresh
// Plan for what it calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/sync_state.h"

namespace tolvex {

// What a scan saw beside the plan. Files present on each side (0 source
// tree, 1 destination tree) are every file a scan met there (past the
// exclusions), candidate or not: the erase guard weighs the plan's erasures
// against them. Unchanged pairs are those the decision skips for being equal
// (the same stamp and size) or older (one way: the other copy is newer),
// each counted once, from the side the job reads from.
struct ScanTally {
  uint64_t filesPresent[2] = {0, 0};
  uint64_t equalPairs = 0;
  uint64_t equalBytes = 0;
  uint64_t olderPairs = 0;
  uint64_t olderBytes = 0;
};

struct Plan {
  // What the run works out from the parameter set before the scan.
  char SourceDrive = 0;         // upper-case letter of the first DInclSels entry
  char DestinationDrive = 0;    // upper-case letter of Destination
  std::string CommonRoot;       // common leading folder of the includes (path mode 2)
  std::string DestinationRoot;  // the working destination folder, ends with '\'

  // Drive space statistics, 64-bit inside (growths and needs may be negative).
  int64_t GrowthSrc = 0;
  int64_t GrowthDest = 0;
  uint64_t CopyBytes = 0;
  uint64_t FreeSrc = 0;
  uint64_t FreeDest = 0;
  uint64_t FreedSrc = 0;
  uint64_t FreedDest = 0;
  uint32_t CountToDest = 0;
  uint32_t CountToSrc = 0;
  uint32_t NewOnDest = 0;
  uint32_t NewOnSrc = 0;
  int64_t NeedDest = 0;
  int64_t NeedSrc = 0;
  int64_t AvailDest = 0;
  int64_t AvailSrc = 0;

  std::vector<CANDIDATE> candidates;     // the update plan
  std::vector<FOLDER> groups;            // groups of the ordered plan
  std::vector<STRING> dirList;           // scanned directories, sorted
  std::vector<STRING> counterpartList;   // counterpart of each dirList entry
  // Counterpart names that differ in letter case from their candidate's
  // name (CANDIDATE::counterNameIndex), few in any tree.
  std::vector<std::string> counterNames;
  // What the run found and left alone, with the reason, in the order found:
  // missing includes (the checks), names no action may touch (the scan).
  std::vector<FINDING> findings;
  ScanTally scanTally;
  // The unchanged pairs themselves, kept only when a dry run asks to list
  // them (a big tree would cost memory for nothing otherwise): each as a
  // candidate whose stamp tells equal from older.
  std::vector<CANDIDATE> unchangedPairs;
  SyncRun syncRun;  // what the run knows and gathers of the sync state
  // Set by the scan when the file systems of every source selection and of
  // the destination tell names apart by letter case (scan/pair_name_rules.h):
  // names that differ only in case are then two files, matched exactly; else
  // names are matched without regard to case, and case twins left alone.
  bool namesTellCaseApart = false;

  // Set when the user aborts.
  bool Aborted = false;
  // Set by the Interrupt button; the copy pass turns the next copy into a
  // failure with the code 0x20000000.
  bool InterruptRequest = false;
};

}  // namespace tolvex
