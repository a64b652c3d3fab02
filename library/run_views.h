// Which views a run shows: the one choice of the library.
#pragma once

#include <memory>

#include "engine/run_ui.h"

namespace tolvex {

// The views of the next run. On Windows the dialogs; on Linux the terminal
// views when the process has a controlling terminal it may draw on, else
// the silent ones. With quiet views set, silent progress, and the overview
// all the same (it is the job's question, not progress).
std::unique_ptr<RunUi> MakeRunViews();

// The front end's request for silent progress (kept until changed).
void SetQuietViews(bool quiet);

}  // namespace tolvex
