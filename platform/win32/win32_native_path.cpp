#include "platform/native_path.h"

namespace tolvex {

// Drive letters are Windows' own: the path is the one its user knows.
std::string NativePathOf(const std::string& path) { return path; }

}  // namespace tolvex
