// CopyOver: CopyFileA made crash-safe. The copy is written under a temporary
// name (platform/reserved_names.h) in the target folder, flushed to the
// disk, and then renamed over the target, so the target is always either
// the old file or the complete new one. Staged copies (StageCopy) are the
// same copy in two steps: written and held open, then, for a whole batch
// (CompleteStagedCopies), flushed one after another and renamed into place. The checks up front
// give the codes a plain CopyFileA(from, to, FALSE) would give, which the
// detour through a new name would otherwise change (a read-only target is
// not refused by a rename; a copy onto itself would succeed).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/copy_progress.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_special_entries.h"
#include "platform/win32/win32_temporary_files.h"

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

// How many names (hard links) the file `path` has; 0 when it is missing or
// cannot be asked.
DWORD NamesOf(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  return ok ? info.nNumberOfLinks : 0;
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
  // A pipe, a socket or a device is no file to replace (Wine answers 87
  // for a Unix FIFO's attributes, as if nothing were there).
  if (target == INVALID_FILE_ATTRIBUTES) return IsSpecialEntry(to) ? kErrAccessDenied : kErrOk;
  if (target & kRefusedTargetAttributes) return kErrAccessDenied;
  if ((target & FILE_ATTRIBUTE_REPARSE_POINT) && IsSpecialEntry(to)) return kErrAccessDenied;
  if (AreOneFile(from, to)) return kErrSharingViolation;
  return kErrOk;
}

void Discard(const std::string& path) {
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(path.c_str());
}

constexpr uint32_t kNoRoomForTemporaryName = 0xFFFFFFFFu;
// The temporary file vanished in a moment this process did not hold it (a
// sweeper of another process took it for dead): copy again under a new name.
constexpr uint32_t kTemporaryTaken = 0xFFFFFFFEu;

// Called by CopyFileExA between chunks: tells the copy's watcher how far
// it is (platform/copy_progress.h). A copy asked to stop (a second Ctrl-C,
// or the watcher) is cancelled there, and CopyFileExA removes what it wrote
// and fails with ERROR_REQUEST_ABORTED.
DWORD CALLBACK ReportChunk(LARGE_INTEGER size, LARGE_INTEGER done, LARGE_INTEGER,
                           LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID) {
  return ReportCopyProgress(static_cast<uint64_t>(done.QuadPart),
                            static_cast<uint64_t>(size.QuadPart))
             ? PROGRESS_CONTINUE
             : PROGRESS_CANCEL;
}

// Copies `from` to a fresh temporary name in `folder`; on failure nothing
// is left behind. CopyFileA holds the new file without sharing delete
// access while it writes, so no sweeper takes it meanwhile.
uint32_t CopyToTemporary(const std::string& from, const std::string& folder, std::string* temp) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    *temp = folder + NextTemporaryName();
    if (temp->size() >= MAX_PATH) return kNoRoomForTemporaryName;
    if (::CopyFileExA(from.c_str(), temp->c_str(), &ReportChunk, nullptr, nullptr,
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

// Opens the temporary copy for its flush. The handle shares no delete
// access: the file stays live for sweepers as long as it is held. A
// read-only copy cannot be opened for writing: its bit is taken off here
// and comes back after the flush (FlushAndClose), before the rename.
uint32_t HoldTemporary(const std::string& temp, DWORD source_attributes, HANDLE* file) {
  *file = INVALID_HANDLE_VALUE;
  if ((source_attributes & FILE_ATTRIBUTE_READONLY) &&
      !::SetFileAttributesA(temp.c_str(), source_attributes & ~FILE_ATTRIBUTE_READONLY)) {
    const uint32_t error = LastError();
    return error == kErrFileNotFound ? kTemporaryTaken : error;
  }
  *file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (*file == INVALID_HANDLE_VALUE) {
    const uint32_t error = LastError();
    return error == kErrFileNotFound ? kTemporaryTaken : error;
  }
  return kErrOk;
}

// Makes the held temporary copy durable and lets go of it: its data reach
// the disk before the rename can, so a power cut after the rename never
// leaves a target whose name is new and whose data are not.
uint32_t FlushAndClose(const std::string& temp, DWORD source_attributes, HANDLE file) {
  uint32_t error = ::FlushFileBuffers(file) ? kErrOk : LastError();
  if (error == kErrOk && (source_attributes & FILE_ATTRIBUTE_READONLY) &&
      !::SetFileAttributesA(temp.c_str(), source_attributes)) {
    error = LastError();
  }
  ::CloseHandle(file);
  return error;
}

uint32_t FlushTemporary(const std::string& temp, DWORD source_attributes) {
  HANDLE file;
  if (const uint32_t error = HoldTemporary(temp, source_attributes, &file)) return error;
  return FlushAndClose(temp, source_attributes, file);
}

// Renames the durable temporary copy over the target, written through.
uint32_t PutInPlace(const std::string& temp, const std::string& to) {
  if (::MoveFileExA(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return kErrOk;
  }
  const uint32_t move_error = LastError();
  if (move_error == kErrFileNotFound) return kTemporaryTaken;
  Discard(temp);
  return move_error;
}

// One attempt: copy, flush, rename (written through).
uint32_t CopyOnce(const std::string& from, const std::string& to, DWORD source_attributes,
                  uint64_t size) {
  std::string temp;
  const uint32_t error = CopyToTemporary(from, FolderOf(to), &temp);
  if (error == kNoRoomForTemporaryName) {
    // The target's path is close to the ANSI length limit: copying in place
    // is better than not copying at all, unless the target is one name of
    // a file with others (a generation sharing it): CopyFileA writes into
    // the existing file, which would change every name of it.
    if (NamesOf(to) > 1) return kErrFilenameTooLong;
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) ? kErrOk : LastError();
  }
  if (error != kErrOk) return error;
  if (const uint32_t flushed = FlushTemporary(temp, source_attributes)) {
    if (flushed != kTemporaryTaken) Discard(temp);
    return flushed;
  }
  // Also a copy too short for a progress call: asked to stop, the target
  // keeps what it held.
  if (!ReportCopyProgress(size, size)) {
    Discard(temp);
    return kErrRequestAborted;
  }
  return PutInPlace(temp, to);
}

// The source's attributes and size, as CopyFileA will copy them.
void ReadSource(const std::string& from, DWORD* attributes, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA source{};
  *attributes = 0;
  *size = 0;
  if (::GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &source)) {
    *attributes = source.dwFileAttributes;
    *size = (static_cast<uint64_t>(source.nFileSizeHigh) << 32) | source.nFileSizeLow;
  }
}

// One attempt at staging: copy, then hold the copy open until its flush.
uint32_t StageOnce(const std::string& from, const std::string& to, DWORD source_attributes,
                   uint64_t size, std::string* temp, HANDLE* file) {
  const uint32_t error = CopyToTemporary(from, FolderOf(to), temp);
  if (error != kErrOk) return error;
  if (const uint32_t held = HoldTemporary(*temp, source_attributes, file)) {
    if (held != kTemporaryTaken) Discard(*temp);
    return held;
  }
  // Also a copy too short for a progress call: asked to stop, the target
  // keeps what it held.
  if (!ReportCopyProgress(size, size)) {
    ::CloseHandle(*file);
    Discard(*temp);
    return kErrRequestAborted;
  }
  return kErrOk;
}

}  // namespace

uint32_t Win32Platform::CopyOver(const std::string& from, const std::string& to) {
  if (!IsPassablePath(from) || !IsPassablePath(to)) return kErrInvalidName;
  if (const uint32_t error = CheckCopy(from, to)) return error;
  DWORD source_attributes = 0;
  uint64_t size = 0;
  ReadSource(from, &source_attributes, &size);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const uint32_t error = CopyOnce(from, to, source_attributes, size);
    if (error != kTemporaryTaken) return error;
  }
  return kErrSharingViolation;
}

// A batch's copies are all written before the first flush. Each flush
// still waits for its file's data and metadata and a flush of the disk's
// cache, but the data of the later copies are already on their way meanwhile
// (the cache manager writes them behind), where one copy at a time waited
// for all of its own writes before the next one was read.
Platform::StageResult Win32Platform::StageCopy(const std::string& from, const std::string& to) {
  if (!IsPassablePath(from) || !IsPassablePath(to)) return StageResult{kErrInvalidName, false};
  if (const uint32_t error = CheckCopy(from, to)) return StageResult{error, false};
  DWORD source_attributes = 0;
  uint64_t size = 0;
  ReadSource(from, &source_attributes, &size);
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    const uint32_t error = StageOnce(from, to, source_attributes, size, &temp, &file);
    if (error == kTemporaryTaken) continue;
    if (error == kNoRoomForTemporaryName) {
      // Too long a path for a temporary name beside the target: the whole
      // copy in place, now (CopyOver's way), and nothing staged.
      return StageResult{::CopyFileA(from.c_str(), to.c_str(), FALSE) ? kErrOk : LastError(),
                         false};
    }
    if (error != kErrOk) return StageResult{error, false};
    staged_.push_back(Staged{from, to, std::move(temp), file, source_attributes});
    return StageResult{kErrOk, true};
  }
  return StageResult{kErrSharingViolation, false};
}

size_t Win32Platform::CompleteStagedCopies(uint32_t* failure) {
  *failure = kErrOk;
  // Durable first, all of them, in the order staged; the first flush that
  // fails ends the batch there.
  size_t durable = staged_.size();
  uint32_t flush_error = kErrOk;
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    flush_error = FlushAndClose(staged.temp, staged.source_attributes, staged.file);
    staged.file = INVALID_HANDLE_VALUE;
    if (flush_error != kErrOk) {
      durable = i;
      break;
    }
  }
  size_t placed = 0;
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    if (*failure == kErrOk && i == durable) *failure = flush_error;
    if (*failure != kErrOk) {
      if (staged.file != INVALID_HANDLE_VALUE) ::CloseHandle(staged.file);
      Discard(staged.temp);
      continue;
    }
    uint32_t error = PutInPlace(staged.temp, staged.to);
    // Taken by another process's sweeper between the flush and the rename
    // (the copy was no longer held): made again, whole, now.
    if (error == kTemporaryTaken) error = CopyOver(staged.from, staged.to);
    if (error == kErrOk) {
      ++placed;
    } else {
      *failure = error;
    }
  }
  staged_.clear();
  return placed;
}

void Win32Platform::DropStagedCopies() {
  for (Staged& staged : staged_) {
    if (staged.file != INVALID_HANDLE_VALUE) ::CloseHandle(staged.file);
    Discard(staged.temp);
  }
  staged_.clear();
}

Win32Platform::~Win32Platform() { DropStagedCopies(); }

}  // namespace tolvex::win32
