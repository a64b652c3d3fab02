#include "scan/action_steps.h"

#include "scan/conflicts.h"
#include "scan/two_way_orphans.h"

namespace tolvex {

void AdjustDecidedActions(const TParameters& parameters, Plan& plan,
                          const std::vector<ScannedFile>* flat_files, FindingSink* sink) {
  // 2. An orphan judged by its stamp alone may be new work or one end of a
  //    move: both ways with erase, judged again by the sync state or as a move.
  JudgeTwoWayOrphans(parameters, plan, sink);
  // 3. Files of one name from different folders would overwrite each other
  //    in a flat run's one destination folder: only the newest goes. After
  //    step 2, which may turn orphans to erase into copies.
  if (flat_files != nullptr) ResolveNameClashes(plan, *flat_files);
  // 4. Carrying out a conflict destroys one of two versions that nothing
  //    tells apart: without confirmation neither file is touched.
  SettleConflicts(parameters, plan);
}

}  // namespace tolvex
