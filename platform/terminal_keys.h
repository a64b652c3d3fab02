// Keys for the terminal views (POSIX back end only, where they exist): the
// active view registers who reads a pending key and who handles it, and the
// pump step takes at most one key, never waiting.
#pragma once

#include <functional>

namespace tolvex {

// Handles one key (the terminal view maps it to a dialog button).
using KeyHandler = std::function<void(int key)>;
// Returns the next pending key, or -1 at once when none waits. A view that
// drives the terminal through a library with its own input buffer (ncurses'
// getch in no-delay mode) passes its own reader, so no key is read past it.
using KeyReader = std::function<int()>;

// Registers the active view's handler; without a reader, one byte is read
// from standard input when it is a terminal and has input waiting.
void SetKeyHandler(KeyHandler handler, KeyReader reader = nullptr);
// Removes the handler: PumpStep then takes nothing and returns false.
void ClearKeyHandler();

}  // namespace tolvex
