#include "model/program_state.h"

#include "model/sync_state.h"

namespace tolvex {

std::vector<CANDIDATE> candidates;
std::vector<FOLDER> groups;
std::vector<STRING> dirList;
std::vector<STRING> counterpartList;
std::vector<FINDING> findings;
ScanTally scanTally;
std::vector<CANDIDATE> unchangedPairs;
bool Aborted = false;
bool InterruptRequest = false;

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
