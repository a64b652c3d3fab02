// Ctrl-C during a run. The first asks the engine to stop at its next check
// (CancelUpdate: a copy under way completes, the log gets its footer, and
// the run ends as aborted); the second also stops the copy under way, which
// leaves its target as it was. A question waiting for a key ends at once,
// answered as at the end of the input (quit, abort, no).
#pragma once

#include "include/tolvex32.h"

namespace tolvex::frontend {

// The engine's CancelUpdate, as loaded.
using CancelFunction = decltype(&::CancelUpdate);

// Installs the handler for the life of this object (on Linux for SIGINT,
// on Windows for the console's Ctrl-C and Ctrl-Break), handing every Ctrl-C
// to `cancel`.
class InterruptForwarding {
 public:
  explicit InterruptForwarding(CancelFunction cancel);
  ~InterruptForwarding();
  InterruptForwarding(const InterruptForwarding&) = delete;
  InterruptForwarding& operator=(const InterruptForwarding&) = delete;
};

// True once a Ctrl-C came (until the next InterruptForwarding).
bool Interrupted();
// Counts a Ctrl-C the terminal read as a key (Windows gives it to _getch).
void InterruptFromKey();

}  // namespace tolvex::frontend
