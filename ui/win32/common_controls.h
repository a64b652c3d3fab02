// The common controls library (progress bars, image lists, tooltips) is
// loaded when a dialog first needs it, not linked: the library then starts
// on systems where only parts of it are present, and a program that never
// shows a dialog never loads it.
#pragma once

#include "ui/win32/window_types.h"

namespace tolvex::win32ui {

// Registers the window classes named by `classes` (ICC_* bits of
// InitCommonControlsEx; the older InitCommonControls where that is
// missing). False when the library cannot be loaded.
bool LoadCommonControls(DWORD classes);

// An export of the loaded library by name (ImageList_LoadImageA ...), or
// null. Loads the library first when needed.
void (*CommonControlsFunction(const char* name))();

// The same, as a pointer of the export's own type.
template <class Function>
Function CommonControlsFunctionAs(const char* name) {
  // Through void (*)(), the one function type GCC lets any other become.
  return reinterpret_cast<Function>(CommonControlsFunction(name));
}

}  // namespace tolvex::win32ui
