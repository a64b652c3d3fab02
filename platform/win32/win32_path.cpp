#include "platform/win32/win32_path.h"

#include <cstring>

#include "platform/platform.h"

namespace tolvex::win32 {

namespace {
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool IsPassablePath(const std::string& path) { return path.find('\0') == std::string::npos; }

bool IsTemporaryName(const char* name) {
  const size_t length = sizeof(kTempPrefix) - 1;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] == '\0' || AsciiLower(name[i]) != AsciiLower(kTempPrefix[i])) return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return path.substr(0, slash + 1);
  // "C:name" lives in the current folder of drive C.
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  return std::string();
}

}  // namespace tolvex::win32
