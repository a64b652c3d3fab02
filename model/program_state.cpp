#include "model/program_state.h"

#include "model/sync_state.h"

namespace tolvex {

Plan programPlan;
std::vector<CANDIDATE>& candidates = programPlan.candidates;
std::vector<FOLDER>& groups = programPlan.groups;
std::vector<STRING>& dirList = programPlan.dirList;
std::vector<STRING>& counterpartList = programPlan.counterpartList;
std::vector<FINDING>& findings = programPlan.findings;
ScanTally& scanTally = programPlan.scanTally;
std::vector<CANDIDATE>& unchangedPairs = programPlan.unchangedPairs;
SyncRun& syncRun = programPlan.syncRun;
bool& Aborted = programPlan.Aborted;
bool& InterruptRequest = programPlan.InterruptRequest;

void ClearProgramLists() {
  candidates.clear();
  groups.clear();
  dirList.clear();
  counterpartList.clear();
  findings.clear();
  scanTally = ScanTally();
  unchangedPairs.clear();
  syncRun.Clear();
}

}  // namespace tolvex
