// Entries that are neither file, folder nor link, as the Win32 back end
// tells them: WSL's pipes and devices and AF_UNIX sockets (reparse points
// with their own tags), and what Wine lists as an empty file but opens as
// a pipe or character device (a Unix FIFO, socket or device).
#pragma once

#include <cstdint>
#include <string>

namespace tolvex::win32 {

// True for the reparse tags of pipes, devices and sockets.
bool IsDeviceTag(uint32_t tag);

// True when `path` opens as something else than a disk file. Opened
// without any access, so that nothing waits for a writer.
bool OpensAsNoDiskFile(const std::string& path);

// True when the entry at `path` is neither file, folder nor link.
bool IsSpecialEntry(const std::string& path);

}  // namespace tolvex::win32
