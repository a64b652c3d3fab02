// The one translation of errno values into the Win32 error codes that the
// seam reports.
#pragma once

#include <cstdint>

namespace tolvex::posix {

// What a failed call was doing, where one errno value means different Win32
// codes (after Wine's tables).
enum class ErrnoSite {
  kEntry,        // ENOENT: the named entry is missing (2); EEXIST: 80
  kFolder,       // ENOENT: a folder on the way is missing (3)
  kFolderOrMove  // making a folder or moving onto a name: EEXIST is 183
};

// ERROR_DIRECTORY: a folder was expected (RemoveDirectoryA of a file).
inline constexpr uint32_t kErrNotAFolder = 267;

// Win32 code for `error`; never 0, so a failure is never reported as success.
uint32_t Win32FromErrno(int error, ErrnoSite site = ErrnoSite::kEntry);

}  // namespace tolvex::posix
