// The place a path in drive form names on the machine, as its user knows
// it: on POSIX "/home/me/a.txt" for "S:\a.txt" through the drive table
// (TOLVEX_DRIVES); on Windows the path itself. A path whose drive is not
// mapped comes back as given.
#pragma once

#include <string>

namespace tolvex {

std::string NativePathOf(const std::string& path);

}  // namespace tolvex
