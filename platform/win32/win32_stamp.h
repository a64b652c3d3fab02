// FILETIME (100 ns units since 1601, UTC, carried here as a 64-bit number so
// that no header needs <windows.h>) <-> packed DOS stamp in local time.
#pragma once

#include <cstdint>

namespace tolvex::win32 {

// FileTimeToLocalFileTime + FileTimeToDosDateTime. The real conversion fails
// outside 1980-01-01 ... 2107-12-31; such times are clamped to the first or
// last stamp instead (files dated 1970 or 1601 are common).
uint32_t StampFromFileTime(uint64_t utc_file_time);

// DosDateTimeToFileTime + LocalFileTimeToFileTime. Returns 0 or 87 for a
// stamp that names no valid time.
uint32_t FileTimeFromStamp(uint32_t stamp, uint64_t* utc_file_time);

}  // namespace tolvex::win32
