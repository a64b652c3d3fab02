// The Win32 back end of the platform seam: thin calls of the real API.
//
// This header is seen only by the back end's own .cpp files; it does not
// include <windows.h>, whose macros (DeleteFile, CopyFile, min, max) must not
// reach the code above the seam.
//
// Files of the back end:
//   win32_platform.cpp  DefaultPlatform, free space, time, profile, pump,
//                       beep, shell, help, text and numbers
//   win32_files.cpp     enumeration, attributes, delete, move, folders,
//                       stamps, OpenForWrite
//   win32_copy.cpp      the crash-safe CopyOver, and copies staged in batches
//   win32_links.cpp     LinkOver, put in place like a copy
//   win32_temporary_files.cpp  temporary names and the removal of dead ones
//   win32_folder_lock.cpp      the run lock
//   win32_stamp.cpp     FILETIME <-> packed DOS stamp, with clamping
//   win32_error.cpp     the one GetLastError translation
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvex::win32 {

class Win32Platform final : public Platform {
 public:
  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override;
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override;
  // Windows folders ignore case and hold only Windows names. The
  // per-folder case flag of recent Windows 10 (FileCaseSensitiveInfo) is
  // not asked: it needs a handle per folder and is set only by hand.
  uint32_t GetFolderNameRules(const std::string& folder, FolderNameRules* rules) override;
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override;
  uint32_t CopyOver(const std::string& from, const std::string& to) override;
  // Staged copies are written and flushed as CopyOver's are, but the flush
  // of a batch comes after all of its copies are written, and only then
  // are they renamed into place (win32_copy.cpp).
  StageResult StageCopy(const std::string& from, const std::string& to) override;
  size_t CompleteStagedCopies(uint32_t* failure) override;
  void DropStagedCopies() override;
  uint32_t LinkOver(const std::string& existing, const std::string& to,
                    const LinkedFile& expected) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t MoveEntry(const std::string& from, const std::string& to) override;
  uint32_t RemoveFolder(const std::string& path) override;
  uint32_t MakeFolder(const std::string& path) override;
  uint32_t GetLastWriteStamp(const std::string& path, uint32_t* stamp) override;
  uint32_t SetLastWriteStamp(const std::string& path, uint32_t stamp) override;
  uint32_t OpenForWrite(const std::string& path, bool append, std::FILE** file) override;
  uint32_t OpenForRead(const std::string& path, std::FILE** file) override;
  uint32_t RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) override;
  uint32_t LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) override;

  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override;
  LocalTime Now() override;
  uint64_t TickMilliseconds() override;
  int32_t LocalOffsetMinutes() override;
  uint32_t ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                      uint32_t fallback) override;
  std::string ProfileString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback) override;
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  bool TakeOneMessage() override;
  void Beep(uint32_t type) override;
  bool ShellOpen(const std::string& target) override;
  bool ShowHelp(const std::string& file, uint32_t context) override;

  int CompareExact(const std::string& a, const std::string& b) override;
  std::string UpperCase(const std::string& text) override;
  int32_t MulDiv(int32_t a, int32_t b, int32_t c) override;

  ~Win32Platform() override;

 private:
  // A copy written under its temporary name, not yet in place: held open
  // (no delete sharing) so that no other process's sweeper takes it.
  struct Staged {
    std::string from;
    std::string to;
    std::string temp;
    void* file;  // HANDLE, open for writing; closed once flushed
    uint32_t source_attributes;
  };
  std::vector<Staged> staged_;
};

// The error of the failed call just made (GetLastError). A failure never
// reports success: when the system left no code, `fallback` stands in.
uint32_t LastError(uint32_t fallback = kErrAccessDenied);

}  // namespace tolvex::win32
