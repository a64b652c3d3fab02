#include "model/program_state.h"

namespace tolvex {

std::vector<CANDIDATE> candidates;
std::vector<FOLDER> groups;
std::vector<STRING> dirList;
std::vector<STRING> counterpartList;
bool Aborted = false;
bool InterruptRequest = false;

void ClearProgramLists() {
  candidates.clear();
  groups.clear();
  dirList.clear();
  counterpartList.clear();
}

}  // namespace tolvex
