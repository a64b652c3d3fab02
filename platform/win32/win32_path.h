// Small text checks shared by the Win32 back end's files.
#pragma once

#include <string>

namespace tolvex::win32 {

// False for a text that the ANSI functions would silently cut short (an
// embedded NUL): such a path fails with 123 instead of naming another file.
bool IsPassablePath(const std::string& path);

// The folder part of `path` including its last backslash ("C:\a\" for
// "C:\a\b.txt"); empty when `path` holds no folder.
std::string FolderOf(const std::string& path);

}  // namespace tolvex::win32
