#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/win32_special_entries.h"

namespace tolvex::win32 {

namespace {

constexpr DWORD kTagAfUnix = 0x80000023;
constexpr DWORD kTagLxFifo = 0x80000024;
constexpr DWORD kTagLxChr = 0x80000025;
constexpr DWORD kTagLxBlk = 0x80000026;

}  // namespace

bool IsDeviceTag(uint32_t tag) {
  return tag == kTagAfUnix || tag == kTagLxFifo || tag == kTagLxChr || tag == kTagLxBlk;
}

bool OpensAsNoDiskFile(const std::string& path) {
  const HANDLE entry = ::CreateFileA(path.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) return false;
  const bool disk = ::GetFileType(entry) == FILE_TYPE_DISK;
  ::CloseHandle(entry);
  return !disk;
}

bool IsSpecialEntry(const std::string& path) {
  WIN32_FIND_DATAA data;
  const HANDLE found = ::FindFirstFileA(path.c_str(), &data);
  if (found == INVALID_HANDLE_VALUE) return false;
  ::FindClose(found);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return IsDeviceTag(data.dwReserved0);
  return data.nFileSizeLow == 0 && data.nFileSizeHigh == 0 && OpensAsNoDiskFile(path);
}

}  // namespace tolvex::win32
