// The exit statuses of the tolvex command.
#pragma once

namespace tolvex::frontend {

enum ExitStatus : int {
  kExitCompleted = 0,       // the run completed (also: nothing to update)
  kExitAborted = 1,         // the user aborted, or refused to run short of space
  kExitJobError = 2,        // the job file or the command line is wrong; nothing ran
  kExitStoppedByCheck = 3,  // the engine's checks ended the run (10002 to 10004, 10009,
                            // 10022, 10023)
  kExitCopiesFailed = 4,    // the run completed, but some copies failed
  kExitNoEngine = 5,        // the engine library cannot be loaded; nothing ran
  kExitRunFailed = 6,       // the run failed inside the engine (10010); the log tells how far
  kExitNeedsTerminal = 7,   // the job asks questions and there is no terminal; nothing ran
};

}  // namespace tolvex::frontend
