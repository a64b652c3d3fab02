// The 45th export: one whole update run. No exception crosses the boundary.
#include "include/tolvex32.h"
#include "engine/update_run.h"
#include "model/program_state.h"

extern "C" int32_t TOLVEX_CALL CallUpdate(TNotifyProc notify, TConfirmProc confirm,
                                          TCopyErrorProc copy_error, TMakeDirProc make_dir) {
  try {
    return tolvex::RunUpdate({notify, confirm, copy_error, make_dir});
  } catch (...) {
    // The run catches its own failures and reports them; one that escapes
    // (the log could not even be made) is no success either.
    tolvex::ClearProgramLists();
    return 0;
  }
}
