// The copy's temporary files on Windows: their names, and the removal of
// those whose writer is gone.
//
// A writer holds its temporary file open without sharing delete access
// while it writes and flushes it (CopyFileA does so itself); a file that
// can be opened for deletion with no sharing at all is held by nobody. A
// killed process's handles are closed by the system, so its leftovers are
// removable at once.
#pragma once

#include <cstdint>
#include <string>

namespace tolvex::win32 {

// A fresh temporary name of this process (its token, the next counter).
std::string NextTemporaryName();

// The token of this process's temporary names.
uint64_t OwnTemporaryToken();

}  // namespace tolvex::win32
