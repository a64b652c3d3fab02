#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/win32_temporary_files.h"

#include <atomic>

#include "platform/reserved_names.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"

namespace tolvex::win32 {

namespace {

std::atomic<uint32_t> counter{0};

// Removes `path` if nobody holds it: an open for deletion that shares
// nothing succeeds only then, and keeps anyone from opening it until the
// handle closes and the file is gone.
bool RemoveIfDead(const std::string& path) {
  const HANDLE file =
      ::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;  // held by a live writer, or gone
  bool removed = false;
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(file, &info) &&
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // A read-only file refuses deletion; the copy of a read-only source is one.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    removed = (!(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ||
               ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) &&
              ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                           sizeof disposition);
  }
  ::CloseHandle(file);
  return removed;
}

}  // namespace

uint64_t OwnTemporaryToken() {
  static const uint64_t token = [] {
    LARGE_INTEGER ticks;
    ::QueryPerformanceCounter(&ticks);
    const uint64_t mixed = (static_cast<uint64_t>(ticks.QuadPart) ^
                            (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^
                            ::GetTickCount64()) *
                           0x9E3779B97F4A7C15ull;
    return mixed == 0 ? 1 : mixed;
  }();
  return token;
}

std::string NextTemporaryName() { return TemporaryName(OwnTemporaryToken(), ++counter); }

uint32_t Win32Platform::RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) {
  if (!IsPassablePath(folder)) return kErrInvalidName;
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + kTempPrefix + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const uint32_t error = LastError(kErrFileNotFound);
    return error == kErrFileNotFound ? kErrOk : error;
  }
  const uint64_t own = OwnTemporaryToken();
  do {
    if (!IsTemporaryName(data.cFileName) || TokenOfTemporaryName(data.cFileName) == own) continue;
    if (RemoveIfDead(folder + data.cFileName)) ++*removed;
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return kErrOk;
}

}  // namespace tolvex::win32
