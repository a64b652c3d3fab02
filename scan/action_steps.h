// A file's action, step by step. The decision makes a candidate or none;
// each later step may change the action nibble of a candidate's state word
// and set the flag that tells why, and none adds or removes a candidate.
// At scan time, in this order:
//
//   1. DecideCandidate (scan/decide.h), each file as the scan meets it: from
//      its stamp and size and its counterpart's, the touch mode and the
//      orphan modes. A skipped file (an equal pair, an older one) gives no
//      candidate. Before it, the scan leaves out what no action may touch
//      (its findings: unusable names, links, pipes, case twins, a
//      counterpart that cannot be looked up or is taken).
//   Then AdjustDecidedActions, over the whole plan once every file is met:
//   2. JudgeTwoWayOrphans (scan/two_way_orphans.h), both ways with erase;
//   3. ResolveNameClashes (scan/name_clashes.h), flat runs only;
//   4. SettleConflicts (scan/conflicts.h).
//
// The ordering only sorts and groups. The later steps belong to the run:
// the user's choices in the overview, the plan handed out, and what the
// passes meet (the per-file question, a conflict's other half, the answer
// to a failed copy); docs/architecture.md, "A file's action", tells them.
#pragma once

#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "scan/finding_sink.h"
#include "scan/name_clashes.h"

namespace tolvex {

// Steps 2 to 4 above, in that order, on the candidates the decision left.
// `flat_files`: every file a flat run's scan considered (null in the other
// path modes). Reports what the steps find in `sink` and plan.findings.
void AdjustDecidedActions(const TParameters& parameters, Plan& plan,
                          const std::vector<ScannedFile>* flat_files, FindingSink* sink);

}  // namespace tolvex
