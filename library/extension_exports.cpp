// The extension's exports (ordinals 46 on): the plan and outcome channels,
// the dry run, the erase limit, quiet views, the stop request, the sync
// state file, the mirrored empty folders and generations that share
// unchanged files. Each only
// stores its value; a run reads them when it starts.
#include "include/tolvex32.h"
#include "library/run_views.h"
#include "model/run_extension.h"
#include "platform/stop_request.h"

using tolvex::Extension;

extern "C" void TOLVEX_CALL SetPlanProc(TPlanProc proc) { Extension.planProc = proc; }

extern "C" void TOLVEX_CALL SetOutcomeProc(TOutcomeProc proc) { Extension.outcomeProc = proc; }

extern "C" void TOLVEX_CALL SetDryRun(int32_t mode) {
  const bool known = mode == TOLVEX_DRY_RUN_PLAN || mode == TOLVEX_DRY_RUN_LIST_ALL;
  Extension.dryRun = known ? mode : TOLVEX_DRY_RUN_OFF;
}

extern "C" void TOLVEX_CALL SetEraseLimit(int32_t count, int32_t percent) {
  Extension.eraseLimitCount = count < 0 ? -1 : count;
  Extension.eraseLimitPercent = percent < 0 ? 0 : percent;
}

extern "C" void TOLVEX_CALL SetQuietViews(int32_t quiet) { tolvex::SetQuietViews(quiet != 0); }

extern "C" void TOLVEX_CALL SetSyncState(const char* path) {
  Extension.syncStatePath = path ? path : "";
}

extern "C" void TOLVEX_CALL SetEmptyFolders(int32_t mirror) { Extension.emptyFolders = mirror != 0; }
extern "C" void TOLVEX_CALL SetShareUnchanged(int32_t share) {
  Extension.shareUnchanged = share != 0;
}

// Called from a signal handler or a console control handler: only the
// lock-free counter is touched.
extern "C" void TOLVEX_CALL CancelUpdate(void) { tolvex::RequestStop(); }
