// TestDrives::SetNativeWriteTime for both systems: a file time that no
// packed stamp can express, set with the system's own call.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // MinGW's C++ headers define it already
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <cstdint>
#include <stdexcept>
#include <string>

#include "testing/test_drives.h"

namespace tolvex {

#ifdef _WIN32

void TestDrives::SetNativeWriteTime(const std::string& path, int64_t unix_seconds,
                                    uint32_t nanoseconds) const {
  const HANDLE file = ::CreateFileA(Native(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("TestDrives: cannot open " + path);
  // FILETIME counts 100 ns from 1601-01-01 UTC.
  const uint64_t ticks =
      static_cast<uint64_t>(unix_seconds + 11644473600LL) * 10000000ULL + nanoseconds / 100;
  FILETIME written;
  written.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  written.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const BOOL ok = ::SetFileTime(file, nullptr, nullptr, &written);
  ::CloseHandle(file);
  if (!ok) throw std::runtime_error("TestDrives: cannot set the time of " + path);
}

#else

void TestDrives::SetNativeWriteTime(const std::string& path, int64_t unix_seconds,
                                    uint32_t nanoseconds) const {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(unix_seconds);
  times[1].tv_nsec = static_cast<long>(nanoseconds);
  if (utimensat(AT_FDCWD, Native(path).c_str(), times, 0) != 0) {
    throw std::runtime_error("TestDrives: cannot set the time of " + path);
  }
}

#endif

}  // namespace tolvex
