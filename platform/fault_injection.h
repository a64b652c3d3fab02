// A platform wrapper that fails chosen calls, for tests that prove every
// failure is logged or reported and nothing is lost.
//
// It forwards to a real platform (tests still run on real files) and fails
// the n-th call of one kind with a chosen Win32 error, once or from then on.
// It counts the calls of each kind, so a test can sweep the failure point:
//
//   for (uint64_t n = 1;; ++n) {
//     FaultInjectingPlatform faulty(&DefaultPlatform());
//     faulty.FailCall(CallKind::kCopyOver, n, kErrDiskFull);
//     SetSys(&faulty);
//     RunScenario();
//     SetSys(nullptr);
//     CheckInvariants();
//     if (!faulty.fired()) break;  // call n never came: every point was tried
//   }
//
// A failed call leaves its out-parameters untouched, except that
// OpenForWrite hands back a null FILE*. Three kinds fail in their own way:
//   kReadProfile   the profile reads answer their fallback, as for a
//                  missing key;
//   kLogWrite      the n-th write of a file opened by OpenForWrite (each
//                  flush of the log is one) fails with the error as errno
//                  (glibc only: elsewhere no such call is ever counted);
//   kNow           the clock reads one day later from call n on (the date
//                  turns in the middle of a run); the error is not used.
#pragma once

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvex {

// The kinds of calls that can fail: every operation that reports a Win32
// code, and the profile write.
enum class CallKind {
  kFind,
  kGetAttributes,
  kSetAttributes,
  kCopyOver,
  kRemoveFile,
  kMoveEntry,
  kRemoveFolder,
  kMakeFolder,
  kGetLastWriteStamp,
  kSetLastWriteStamp,
  kOpenForWrite,
  kDiskFreeSpace,
  kWriteProfile,
  kReadProfile,
  kRemoveDeadTemporaries,
  kLockFolder,
  kLogWrite,
  kNow,
  kLinkOver,
  kReadLink,
  kGetModeInfo,
  kSetMode,
  kCopyMode,
  kCount  // not a kind: the number of kinds
};

// A short name of each kind, for test messages.
const char* CallKindName(CallKind kind);

class FaultInjectingPlatform : public PlatformWrapper {
 public:
  enum class Repeat { kOnce, kFromThenOn };

  explicit FaultInjectingPlatform(Platform* target) : PlatformWrapper(target) {}

  // Fails call number `n` (counted from 1 since construction or Reset) of
  // `kind` with `error`; with kFromThenOn every later call of the kind too.
  // Several faults may be armed at once.
  void FailCall(CallKind kind, uint64_t n, uint32_t error, Repeat repeat = Repeat::kOnce) {
    faults_.push_back(Fault{kind, n, error, repeat});
  }
  // Disarms every fault and sets the counts back to zero.
  void Reset() {
    faults_.clear();
    calls_.fill(0);
    fired_ = 0;
    clock_jumped_ = false;
  }

  // Calls of `kind` so far (failed ones included).
  uint64_t calls(CallKind kind) const { return calls_[static_cast<size_t>(kind)]; }
  // How many calls were failed.
  uint64_t fired() const { return fired_; }

  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    if (const uint32_t error = Count(CallKind::kFind)) return error;
    return PlatformWrapper::FindEntries(pattern, mask, entries, unusable);
  }
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
    if (const uint32_t error = Count(CallKind::kGetAttributes)) return error;
    return PlatformWrapper::GetAttributes(path, attributes);
  }
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override {
    if (const uint32_t error = Count(CallKind::kSetAttributes)) return error;
    return PlatformWrapper::SetAttributes(path, attributes);
  }
  uint32_t GetModeInfo(const std::string& path, ModeInfo* info) override {
    if (const uint32_t error = Count(CallKind::kGetModeInfo)) return error;
    return PlatformWrapper::GetModeInfo(path, info);
  }
  uint32_t SetMode(const std::string& path, uint32_t mode) override {
    if (const uint32_t error = Count(CallKind::kSetMode)) return error;
    return PlatformWrapper::SetMode(path, mode);
  }
  uint32_t CopyMode(const std::string& from, const std::string& to, uint32_t added,
                    uint32_t* from_mode) override {
    if (const uint32_t error = Count(CallKind::kCopyMode)) return error;
    return PlatformWrapper::CopyMode(from, to, added, from_mode);
  }
  uint32_t CopyOver(const std::string& from, const std::string& to) override {
    if (const uint32_t error = Count(CallKind::kCopyOver)) return error;
    return PlatformWrapper::CopyOver(from, to);
  }
  // A staged copy is a copy: its faults are CopyOver's, struck before
  // anything is written; the staging itself is the platform's below.
  StageResult StageCopy(const std::string& from, const std::string& to) override {
    if (const uint32_t error = Count(CallKind::kCopyOver)) return StageResult{error, false};
    return PlatformWrapper::StageCopy(from, to);
  }
  uint32_t ReadLink(const std::string& path, std::string* target) override {
    if (const uint32_t error = Count(CallKind::kReadLink)) return error;
    return PlatformWrapper::ReadLink(path, target);
  }
  uint32_t LinkOver(const std::string& existing, const std::string& to,
                    const LinkedFile& expected) override {
    if (const uint32_t error = Count(CallKind::kLinkOver)) return error;
    return PlatformWrapper::LinkOver(existing, to, expected);
  }
  uint32_t RemoveFile(const std::string& path) override {
    if (const uint32_t error = Count(CallKind::kRemoveFile)) return error;
    return PlatformWrapper::RemoveFile(path);
  }
  uint32_t MoveEntry(const std::string& from, const std::string& to) override {
    if (const uint32_t error = Count(CallKind::kMoveEntry)) return error;
    return PlatformWrapper::MoveEntry(from, to);
  }
  uint32_t RemoveFolder(const std::string& path) override {
    if (const uint32_t error = Count(CallKind::kRemoveFolder)) return error;
    return PlatformWrapper::RemoveFolder(path);
  }
  uint32_t MakeFolder(const std::string& path) override {
    if (const uint32_t error = Count(CallKind::kMakeFolder)) return error;
    return PlatformWrapper::MakeFolder(path);
  }
  uint32_t GetLastWriteStamp(const std::string& path, uint32_t* stamp) override {
    if (const uint32_t error = Count(CallKind::kGetLastWriteStamp)) return error;
    return PlatformWrapper::GetLastWriteStamp(path, stamp);
  }
  uint32_t SetLastWriteStamp(const std::string& path, uint32_t stamp) override {
    if (const uint32_t error = Count(CallKind::kSetLastWriteStamp)) return error;
    return PlatformWrapper::SetLastWriteStamp(path, stamp);
  }
  uint32_t OpenForWrite(const std::string& path, bool append, std::FILE** file) override {
    if (const uint32_t error = Count(CallKind::kOpenForWrite)) {
      *file = nullptr;
      return error;
    }
    const uint32_t result = PlatformWrapper::OpenForWrite(path, append, file);
    if (result == kErrOk) *file = WithCountedWrites(*file);
    return result;
  }
  uint32_t RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) override {
    if (const uint32_t error = Count(CallKind::kRemoveDeadTemporaries)) return error;
    return PlatformWrapper::RemoveDeadTemporaries(folder, removed);
  }
  uint32_t LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) override {
    if (const uint32_t error = Count(CallKind::kLockFolder)) return error;
    return PlatformWrapper::LockFolder(folder, lock);
  }
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override {
    if (const uint32_t error = Count(CallKind::kDiskFreeSpace)) return error;
    return PlatformWrapper::DiskFreeSpace(root, free_bytes);
  }
  uint32_t ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                      uint32_t fallback) override {
    if (Count(CallKind::kReadProfile) != kErrOk) return fallback;
    return PlatformWrapper::ProfileInt(file, section, key, fallback);
  }
  std::string ProfileString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback) override {
    if (Count(CallKind::kReadProfile) != kErrOk) return fallback;
    return PlatformWrapper::ProfileString(file, section, key, fallback);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    if (Count(CallKind::kWriteProfile) != kErrOk) return false;
    return PlatformWrapper::WriteProfileString(file, section, key, value);
  }
  LocalTime Now() override { return Later(PlatformWrapper::Now()); }

 protected:
  // Counts a call of `kind`; the error it must fail with, or 0.
  uint32_t Count(CallKind kind);
  // `time`, or a day later when the clock's fault has struck (counts a call
  // of kNow): for derived platforms with a clock of their own.
  LocalTime Later(const LocalTime& time);

 private:
  // `file` behind a stream whose writes are counted as kLogWrite (glibc);
  // elsewhere `file` itself.
  std::FILE* WithCountedWrites(std::FILE* file);
  struct Fault {
    CallKind kind;
    uint64_t n;
    uint32_t error;
    Repeat repeat;
  };

  // The state of one stream behind WithCountedWrites.
  struct CountedStream {
    FaultInjectingPlatform* platform;
    std::FILE* file;
  };
#if defined(__GLIBC__)
  static ssize_t CountedWrite(void* cookie, const char* data, size_t size) {
    auto* stream = static_cast<CountedStream*>(cookie);
    if (const uint32_t error = stream->platform->Count(CallKind::kLogWrite)) {
      errno = static_cast<int>(error);
      return -1;
    }
    if (std::fwrite(data, 1, size, stream->file) < size || std::fflush(stream->file) != 0) {
      return -1;
    }
    return static_cast<ssize_t>(size);
  }
  static int CountedClose(void* cookie) {
    auto* stream = static_cast<CountedStream*>(cookie);
    const int result = std::fclose(stream->file);
    delete stream;
    return result;
  }
#endif

  std::vector<Fault> faults_;
  bool clock_jumped_ = false;
  std::array<uint64_t, static_cast<size_t>(CallKind::kCount)> calls_{};
  uint64_t fired_ = 0;
};

inline const char* CallKindName(CallKind kind) {
  static const char* const kNames[] = {
      "find",        "get attributes", "set attributes", "copy",          "delete",
      "move",        "remove folder",  "make folder",    "get stamp",     "set stamp",
      "open log",    "free space",     "write profile",  "read profile",  "remove temporaries",
      "lock folder", "log write",      "clock",          "link",          "read link",
      "get mode",    "set mode",       "copy mode"};
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(CallKind::kCount));
  return kNames[static_cast<size_t>(kind)];
}

inline uint32_t FaultInjectingPlatform::Count(CallKind kind) {
  const uint64_t number = ++calls_[static_cast<size_t>(kind)];
  for (const Fault& fault : faults_) {
    if (fault.kind != kind) continue;
    if (number == fault.n || (fault.repeat == Repeat::kFromThenOn && number > fault.n)) {
      ++fired_;
      return fault.error;
    }
  }
  return kErrOk;
}

inline LocalTime FaultInjectingPlatform::Later(const LocalTime& time) {
  const bool struck = Count(CallKind::kNow) != kErrOk;
  clock_jumped_ = clock_jumped_ || struck;
  if (!clock_jumped_) return time;
  // One day on, by the calendar.
  static const int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
  const int days = time.month == 2 && leap ? 29 : kDaysIn[(time.month + 11) % 12];
  LocalTime later = time;
  later.weekday = (time.weekday + 1) % 7;
  if (++later.day > days) {
    later.day = 1;
    if (++later.month > 12) {
      later.month = 1;
      ++later.year;
    }
  }
  return later;
}

inline std::FILE* FaultInjectingPlatform::WithCountedWrites(std::FILE* file) {
#if defined(__GLIBC__)
  auto* stream = new CountedStream{this, file};
  const cookie_io_functions_t functions = {nullptr, &CountedWrite, nullptr, &CountedClose};
  std::FILE* counted = fopencookie(stream, "w", functions);
  if (counted != nullptr) return counted;
  delete stream;
#endif
  return file;
}

}  // namespace tolvex
