#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace tolvex::win32 {

uint32_t LastError(uint32_t fallback) {
  const DWORD code = ::GetLastError();
  return code != ERROR_SUCCESS ? static_cast<uint32_t>(code) : fallback;
}

}  // namespace tolvex::win32
