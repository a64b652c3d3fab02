// Which of the engine's findings mean that something selected was not
// backed up (a loss: exit status 4, the run is not recorded in JOB.state)
// and which only say what the run left alone on purpose (noted in the
// summary; the run can still end with exit status 0). One row per report
// code, so that a kind of finding changes its weight in one line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvex::frontend {

enum class FindingWeight {
  kLoss,    // something selected is in no backup because of it
  kNoLoss,  // left alone on purpose; nothing selected is missing
  // No loss in the tree backed up; a loss in the destination tree, where it
  // may hold the name of a selected file, which is then left out (the
  // finding names the entry, not the file it keeps out).
  kLossInDestination,
};

struct FindingKind {
  int32_t report;  // TOLVEX_REPORT_*
  FindingWeight weight;
  const char* one;     // "case twin": the count's word, and the caption on
  const char* many;    // standard error ("not backed up (case twin): PATH")
  const char* listed;  // the summary's heading over the paths that are no loss
};

// The findings listed by path, in the order the summary names them.
// Conflicts, moves and a blocked rotation have texts of their own (an open
// conflict is a loss, a settled one is not; the others are not).
const std::vector<FindingKind>& FindingKinds();

// Whether the finding of `kind` at `path` is a loss. `destination`: the
// folder the run writes into, in the drive form the findings use; when it
// is unknown ("") every finding that may be a loss is one.
bool IsLoss(const FindingKind& kind, const std::string& path, const std::string& destination);

}  // namespace tolvex::frontend
