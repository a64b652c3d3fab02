// Which of the engine's findings mean that something selected was not
// backed up (a loss: exit status 4, the run is not recorded in JOB.state)
// and which only say what the run left alone on purpose (noted in the
// summary; the run can still end with exit status 0). One row per report
// code, so that a kind of finding changes its weight in one line.
#pragma once

#include <cstdint>
#include <vector>

namespace tolvex::frontend {

struct FindingKind {
  int32_t report;      // TOLVEX_REPORT_*
  bool lost;           // something selected is in no backup because of it
  const char* one;     // "case twin": the count's word, and the caption on
  const char* many;    // standard error ("not backed up (case twin): PATH")
  const char* listed;  // not lost: the summary's heading over the paths
};

// The findings listed by path, in the order the summary names them.
// Conflicts, moves and a blocked rotation have texts of their own (an open
// conflict is a loss, a settled one is not; the others are not).
const std::vector<FindingKind>& FindingKinds();

}  // namespace tolvex::frontend
