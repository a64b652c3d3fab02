// LinkOver: another name of an existing file (CreateHardLinkA), put in
// place the way CopyOver puts a copy: made under a temporary name in the
// target folder and renamed over the target, so that an existing target is
// replaced, never written into, and is either as it was or the link.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_special_entries.h"
#include "platform/win32/win32_stamp.h"
#include "platform/win32/win32_temporary_files.h"

namespace tolvex::win32 {

namespace {

constexpr DWORD kNoLinkAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                    FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY;
constexpr DWORD kRefusedTargetAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY;

uint64_t Number(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::string* paths[2] = {&a, &b};
  for (int k = 0; k < 2; ++k) {
    const HANDLE file = ::CreateFileA(paths[k]->c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(file, &info[k]) != 0;
    ::CloseHandle(file);
    if (!ok) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// A volume without links (FAT answers ERROR_INVALID_FUNCTION) as "not
// supported".
uint32_t LinkFailure(uint32_t error) { return error == 1 ? kErrNotSupported : error; }

}  // namespace

uint32_t Win32Platform::LinkOver(const std::string& existing, const std::string& to,
                                 const LinkedFile& expected) {
  if (!IsPassablePath(existing) || !IsPassablePath(to)) return kErrInvalidName;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(existing.c_str(), GetFileExInfoStandard, &data)) {
    return LastError(kErrFileNotFound);
  }
  if ((data.dwFileAttributes & kNoLinkAttributes) || IsSpecialEntry(existing)) {
    return kErrAccessDenied;
  }
  constexpr uint32_t kCompared = kAttrReadOnly | kAttrHidden | kAttrSystem;
  if (Number(data.nFileSizeHigh, data.nFileSizeLow) != expected.size ||
      StampFromFileTime(Number(data.ftLastWriteTime.dwHighDateTime,
                               data.ftLastWriteTime.dwLowDateTime)) != expected.stamp ||
      (data.dwFileAttributes & kCompared) != (expected.attributes & kCompared)) {
    return kErrDiffers;
  }
  const std::string folder = FolderOf(to);
  const DWORD folder_attributes = ::GetFileAttributesA(folder.c_str());
  if (folder_attributes == INVALID_FILE_ATTRIBUTES ||
      !(folder_attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return kErrPathNotFound;
  }
  const DWORD target = ::GetFileAttributesA(to.c_str());
  if (target == INVALID_FILE_ATTRIBUTES) {
    if (IsSpecialEntry(to)) return kErrAccessDenied;
  } else {
    if (target & kRefusedTargetAttributes) return kErrAccessDenied;
    // Already that very file: nothing to do (a rename of one of its names
    // over another would leave the temporary name behind).
    if (SameFile(existing, to)) return kErrOk;
  }
  std::string temp;
  bool linked = false;
  for (int attempt = 0; attempt < 16 && !linked; ++attempt) {
    temp = folder + NextTemporaryName();
    if (temp.size() >= MAX_PATH) return kErrFilenameTooLong;
    linked = ::CreateHardLinkA(temp.c_str(), existing.c_str(), nullptr) != 0;
    if (linked) break;
    const uint32_t error = LastError();
    if (error != kErrFileExists && error != kErrAlreadyExists) return LinkFailure(error);
  }
  if (!linked) return kErrFileExists;
  if (::MoveFileExA(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return kErrOk;
  }
  const uint32_t error = LastError();
  // Only this name goes: the attributes belong to every name of the file.
  ::DeleteFileA(temp.c_str());
  return error;
}

}  // namespace tolvex::win32
