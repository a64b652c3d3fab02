// The pump step on POSIX: the key that the terminal views' handler
// (platform/terminal_keys.h) is given.
#pragma once

#include "platform/terminal_keys.h"

namespace tolvex {

// What PumpStep does: reads at most one pending key and hands it to the
// handler. True when a key was taken.
bool PumpOneKey();

}  // namespace tolvex
