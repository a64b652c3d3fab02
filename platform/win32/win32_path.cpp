#include "platform/win32/win32_path.h"

#include <cstring>

#include "platform/platform.h"

namespace tolvex::win32 {

bool IsPassablePath(const std::string& path) { return path.find('\0') == std::string::npos; }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return path.substr(0, slash + 1);
  // "C:name" lives in the current folder of drive C.
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  return std::string();
}

}  // namespace tolvex::win32
