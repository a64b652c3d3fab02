// The run lock on Windows: the lock file opened with no sharing at all, so
// that a second open fails with a sharing violation, and marked to be
// deleted when the handle closes, which the system does for a killed
// process too. Nothing stays behind in the destination.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/reserved_names.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"

namespace tolvex::win32 {

namespace {

class Win32FolderLock final : public FolderLock {
 public:
  explicit Win32FolderLock(HANDLE file) : file_(file) {}
  ~Win32FolderLock() override { ::CloseHandle(file_); }

 private:
  HANDLE file_;
};

}  // namespace

uint32_t Win32Platform::LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) {
  if (!IsPassablePath(folder)) return kErrInvalidName;
  const DWORD attributes = ::GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return kErrPathNotFound;
  }
  const std::string path = folder + kRunLockName;
  const HANDLE file =
      ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    *lock = std::make_unique<Win32FolderLock>(file);
    return kErrOk;
  }
  const uint32_t error = LastError();
  // Between the holder's close and the file's removal it is "delete
  // pending", and an open fails with 5: still somebody else's lock.
  if (error == kErrAccessDenied && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return kErrSharingViolation;
  }
  return error;
}

}  // namespace tolvex::win32
