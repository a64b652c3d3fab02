// The 45th export: one whole update run. No exception crosses the boundary.
#include "include/tolvex32.h"
#include "engine/update_run.h"
#include "library/run_views.h"
#include "model/program_state.h"

extern "C" int32_t TOLVEX_CALL CallUpdate(TNotifyProc notify, TConfirmProc confirm,
                                          TCopyErrorProc copy_error, TMakeDirProc make_dir) {
  try {
    const tolvex::ScopedLibraryViews views;
    return tolvex::RunUpdate({notify, confirm, copy_error, make_dir});
  } catch (...) {
    // Out of memory in the middle of a run: nothing more can be done safely.
    return tolvex::Aborted ? 0 : 1;
  }
}
