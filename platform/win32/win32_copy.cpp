// CopyOver: CopyFileA made crash-safe. The copy is written under a temporary
// name in the target folder and then renamed over the target, so the target
// is always either the old file or the complete new one. The checks up front
// give the codes a plain CopyFileA(from, to, FALSE) would give, which the
// detour through a new name would otherwise change (a read-only target is
// not refused by a rename; a copy onto itself would succeed).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/stop_request.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"

namespace tolvex::win32 {

namespace {

constexpr DWORD kRefusedTargetAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY;

struct FileIdentity {
  DWORD volume = 0;
  DWORD index_high = 0;
  DWORD index_low = 0;
};

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  const HANDLE file = ::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!ok) return false;
  identity->volume = info.dwVolumeSerialNumber;
  identity->index_high = info.nFileIndexHigh;
  identity->index_low = info.nFileIndexLow;
  return true;
}

// Also true for two names of one file (a hard link, another letter case).
bool AreOneFile(const std::string& a, const std::string& b) {
  FileIdentity first;
  FileIdentity second;
  return IdentityOf(a, &first) && IdentityOf(b, &second) && first.volume == second.volume &&
         first.index_high == second.index_high && first.index_low == second.index_low;
}

uint32_t CheckCopy(const std::string& from, const std::string& to) {
  const DWORD source = ::GetFileAttributesA(from.c_str());
  if (source == INVALID_FILE_ATTRIBUTES) return LastError(kErrFileNotFound);
  if (source & FILE_ATTRIBUTE_DIRECTORY) return kErrAccessDenied;
  const std::string folder = FolderOf(to);
  if (!folder.empty()) {
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return kErrPathNotFound;
    }
  }
  const DWORD target = ::GetFileAttributesA(to.c_str());
  if (target == INVALID_FILE_ATTRIBUTES) return kErrOk;
  if (target & kRefusedTargetAttributes) return kErrAccessDenied;
  if (AreOneFile(from, to)) return kErrSharingViolation;
  return kErrOk;
}

std::string Hex8(uint32_t value) {
  static const char digits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = digits[value & 0xF];
  return text;
}

// A name no other process picks at the same moment: the process id spread
// over the bits, plus a counter; CopyFileA(..., TRUE) catches the rest.
std::string TemporaryName(const std::string& folder) {
  static uint32_t counter = 0;
  const uint32_t spread = static_cast<uint32_t>(::GetCurrentProcessId()) * 0x9E3779B1u;
  return folder + kTempPrefix + Hex8(spread + ++counter);
}

void Discard(const std::string& path) {
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(path.c_str());
}

constexpr uint32_t kNoRoomForTemporaryName = 0xFFFFFFFFu;

// Called by CopyFileExA between chunks: a copy asked to stop (a second
// Ctrl-C) is cancelled there, and CopyFileExA removes what it wrote and
// fails with ERROR_REQUEST_ABORTED.
DWORD CALLBACK StopWhenAsked(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                             DWORD, HANDLE, HANDLE, LPVOID) {
  return CopyStopRequested() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// Copies `from` to a fresh temporary name in `folder`; on failure nothing
// is left behind.
uint32_t CopyToTemporary(const std::string& from, const std::string& folder, std::string* temp) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    *temp = TemporaryName(folder);
    if (temp->size() >= MAX_PATH) return kNoRoomForTemporaryName;
    if (::CopyFileExA(from.c_str(), temp->c_str(), &StopWhenAsked, nullptr, nullptr,
                      COPY_FILE_FAIL_IF_EXISTS)) {
      return kErrOk;
    }
    const uint32_t error = LastError();
    if (error == kErrFileExists || error == kErrAlreadyExists) continue;  // not ours
    Discard(*temp);  // a failed copy may leave a partial file
    return error;
  }
  return kErrFileExists;
}

}  // namespace

uint32_t Win32Platform::CopyOver(const std::string& from, const std::string& to) {
  if (!IsPassablePath(from) || !IsPassablePath(to)) return kErrInvalidName;
  if (const uint32_t error = CheckCopy(from, to)) return error;
  std::string temp;
  const uint32_t error = CopyToTemporary(from, FolderOf(to), &temp);
  if (error == kNoRoomForTemporaryName) {
    // The target's path is close to the ANSI length limit: copying in place
    // is better than not copying at all.
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) ? kErrOk : LastError();
  }
  if (error != kErrOk) return error;
  // Also a copy too short for a progress call: asked to stop, the target
  // keeps what it held.
  if (CopyStopRequested()) {
    Discard(temp);
    return kErrRequestAborted;
  }
  if (::MoveFileExA(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return kErrOk;
  const uint32_t move_error = LastError();
  Discard(temp);
  return move_error;
}

}  // namespace tolvex::win32
