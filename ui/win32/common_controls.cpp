#include "ui/win32/common_controls.h"

#include <windows.h>
#include <commctrl.h>

namespace tolvex::win32ui {

namespace {

// Loaded once and kept for the life of the process: windows of its classes
// may outlive any one dialog object.
HMODULE Library() {
  static HMODULE library = ::LoadLibraryA("comctl32.dll");
  return library;
}

}  // namespace

void (*CommonControlsFunction(const char* name))() {
  HMODULE library = Library();
  return library ? reinterpret_cast<void (*)()>(::GetProcAddress(library, name)) : nullptr;
}

bool LoadCommonControls(DWORD classes) {
  if (!Library()) return false;
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  using Init = void(WINAPI*)();
  if (auto init_ex = CommonControlsFunctionAs<InitEx>("InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX request = {sizeof(INITCOMMONCONTROLSEX), classes};
    return init_ex(&request) != FALSE;
  }
  if (auto init = CommonControlsFunctionAs<Init>("InitCommonControls")) {
    init();
    return true;
  }
  return false;
}

}  // namespace tolvex::win32ui
