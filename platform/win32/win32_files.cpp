// Enumeration, attributes, delete, move, folders, stamps and OpenForWrite:
// each a direct call of its kernel32 function.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>


#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"
#include "platform/dos_stamp.h"
#include "platform/win32/win32_special_entries.h"
#include "platform/win32/win32_stamp.h"

namespace tolvex::win32 {

namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() { ::FindClose(handle_); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

uint64_t FileTimeNumber(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FindEntry EntryOf(const WIN32_FIND_DATAA& data) {
  FindEntry entry;
  entry.name = data.cFileName;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.attributes = data.dwFileAttributes;
  const uint64_t written = FileTimeNumber(data.ftLastWriteTime);
  entry.stamp = StampFromFileTime(written);
  // FILETIME counts 100 ns since 1601.
  entry.fraction = StampFraction(entry.stamp, static_cast<int64_t>(written / 10000000u),
                                 static_cast<uint32_t>(written % 10000000u) * 100u);
  return entry;
}

// The entry as the seam describes it: a link to a file keeps the
// reparse-point bit; an entry that is neither file, folder nor link is
// kAttrDevice alone; a file whose content a filter supplies (deduplicated,
// compressed, a cloud placeholder) is a plain file.
void DescribeSpecialEntry(const WIN32_FIND_DATAA& data, const std::string& folder,
                          FindEntry* entry) {
  const DWORD attributes = data.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return;
  const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool device = reparse ? IsDeviceTag(data.dwReserved0)
                              : entry->size == 0 && OpensAsNoDiskFile(folder + data.cFileName);
  if (device) {
    entry->attributes = kAttrDevice;
    entry->size = 0;
  } else if (reparse && data.dwReserved0 != IO_REPARSE_TAG_SYMLINK) {
    entry->attributes &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_REPARSE_POINT);
  }
}

}  // namespace

uint32_t Win32Platform::FindEntries(const std::string& pattern, uint32_t mask,
                                    std::vector<FindEntry>* entries,
                                    std::vector<std::string>* /*unusable*/) {
  // Every name Windows yields is usable, so *unusable is never filled here.
  if (!IsPassablePath(pattern)) return kErrInvalidName;
  WIN32_FIND_DATAA data;
  const HANDLE first = ::FindFirstFileA(pattern.c_str(), &data);
  if (first == INVALID_HANDLE_VALUE) return LastError(kErrFileNotFound);
  FindHandle find(first);
  // The reserved names (temporary files, the run lock) stay invisible: a
  // pattern that matched only those has matched nothing.
  bool matched = false;
  const size_t slash = pattern.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  do {
    if (IsReservedName(data.cFileName)) continue;
    matched = true;
    FindEntry entry = EntryOf(data);
    DescribeSpecialEntry(data, folder, &entry);
    if (PassesAttributeMask(entry.attributes, mask)) entries->push_back(std::move(entry));
  } while (::FindNextFileA(find.get(), &data));
  const uint32_t end = LastError(kErrNoMoreFiles);
  if (end != kErrNoMoreFiles) return end;
  return matched ? kErrOk : kErrFileNotFound;
}

uint32_t Win32Platform::GetAttributes(const std::string& path, uint32_t* attributes) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  const DWORD value = ::GetFileAttributesA(path.c_str());
  if (value == INVALID_FILE_ATTRIBUTES) return LastError(kErrFileNotFound);
  *attributes = value;
  return kErrOk;
}

uint32_t Win32Platform::GetFolderNameRules(const std::string& folder, FolderNameRules* rules) {
  if (!IsPassablePath(folder)) return kErrInvalidName;
  std::string path = folder;
  // "C:\" stays a root; "C:\a\" is the folder "C:\a".
  if (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  const DWORD value = ::GetFileAttributesA(path.c_str());
  if (value == INVALID_FILE_ATTRIBUTES) return LastError(kErrFileNotFound);
  if ((value & FILE_ATTRIBUTE_DIRECTORY) == 0) return kErrPathNotFound;
  *rules = FolderNameRules();
  return kErrOk;
}

uint32_t Win32Platform::SetAttributes(const std::string& path, uint32_t attributes) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  // NORMAL is the documented way to say "no attributes".
  const DWORD value = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  const DWORD now = ::GetFileAttributesA(path.c_str());
  if (now == INVALID_FILE_ATTRIBUTES || (now & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return ::SetFileAttributesA(path.c_str(), value) ? kErrOk : LastError();
  }
  // A link: its own attributes, never its target's, which the plain call
  // may reach.
  FileHandle link(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link.valid()) return LastError();
  FILE_BASIC_INFO basic{};  // times of 0 stay as they are
  basic.FileAttributes = value;
  return ::SetFileInformationByHandle(link.get(), FileBasicInfo, &basic, sizeof basic) ? kErrOk
                                                                                       : LastError();
}

uint32_t Win32Platform::RemoveFile(const std::string& path) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  return ::DeleteFileA(path.c_str()) ? kErrOk : LastError();
}

uint32_t Win32Platform::MoveEntry(const std::string& from, const std::string& to) {
  if (!IsPassablePath(from) || !IsPassablePath(to)) return kErrInvalidName;
  return ::MoveFileA(from.c_str(), to.c_str()) ? kErrOk : LastError();
}

uint32_t Win32Platform::RemoveFolder(const std::string& path) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  if (::RemoveDirectoryA(path.c_str())) return kErrOk;
  const uint32_t error = LastError();
  if (error != kErrDirNotEmpty) return error;
  // Temporary files are invisible to the scan, which therefore takes the
  // folder for empty: clear the dead ones and try once more.
  uint32_t removed = 0;
  const std::string folder = path.empty() || path.back() == '\\' ? path : path + "\\";
  if (RemoveDeadTemporaries(folder, &removed) != kErrOk || removed == 0) return error;
  return ::RemoveDirectoryA(path.c_str()) ? kErrOk : LastError();
}

uint32_t Win32Platform::MakeFolder(const std::string& path) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  return ::CreateDirectoryA(path.c_str(), nullptr) ? kErrOk : LastError();
}

uint32_t Win32Platform::GetLastWriteStamp(const std::string& path, uint32_t* stamp) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return LastError(kErrFileNotFound);
  }
  *stamp = StampFromFileTime(FileTimeNumber(data.ftLastWriteTime));
  return kErrOk;
}

uint32_t Win32Platform::SetLastWriteStamp(const std::string& path, uint32_t stamp) {
  if (!IsPassablePath(path)) return kErrInvalidName;
  uint64_t utc = 0;
  if (const uint32_t error = FileTimeFromStamp(stamp, &utc)) return error;
  // Write-attributes access works on read-only files; backup semantics lets
  // the same call open a folder.
  FileHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return LastError(kErrFileNotFound);
  FILETIME written;
  written.dwLowDateTime = static_cast<DWORD>(utc & 0xFFFFFFFFu);
  written.dwHighDateTime = static_cast<DWORD>(utc >> 32);
  return ::SetFileTime(file.get(), nullptr, nullptr, &written) ? kErrOk : LastError();
}

uint32_t Win32Platform::OpenForRead(const std::string& path, std::FILE** file) {
  *file = nullptr;
  if (!IsPassablePath(path)) return kErrInvalidName;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError(kErrFileNotFound);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kErrAccessDenied;
  ::SetLastError(ERROR_SUCCESS);
  *file = std::fopen(path.c_str(), "rb");
  return *file ? kErrOk : LastError();
}

uint32_t Win32Platform::OpenForWrite(const std::string& path, bool append, std::FILE** file) {
  *file = nullptr;
  if (!IsPassablePath(path)) return kErrInvalidName;
  // Windows refuses to write a read-only file; Wine maps read-only to a
  // missing write permission, which an administrator (root) passes.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return kErrAccessDenied;
  }
  ::SetLastError(ERROR_SUCCESS);
  *file = std::fopen(path.c_str(), append ? "ab" : "wb");
  return *file ? kErrOk : LastError();
}

}  // namespace tolvex::win32
