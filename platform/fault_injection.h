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
// OpenForWrite hands back a null FILE*.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
  kCount  // not a kind: the number of kinds
};

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
  uint32_t CopyOver(const std::string& from, const std::string& to) override {
    if (const uint32_t error = Count(CallKind::kCopyOver)) return error;
    return PlatformWrapper::CopyOver(from, to);
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
    return PlatformWrapper::OpenForWrite(path, append, file);
  }
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override {
    if (const uint32_t error = Count(CallKind::kDiskFreeSpace)) return error;
    return PlatformWrapper::DiskFreeSpace(root, free_bytes);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    if (Count(CallKind::kWriteProfile) != kErrOk) return false;
    return PlatformWrapper::WriteProfileString(file, section, key, value);
  }

 private:
  struct Fault {
    CallKind kind;
    uint64_t n;
    uint32_t error;
    Repeat repeat;
  };

  // Counts a call of `kind`; the error it must fail with, or 0.
  uint32_t Count(CallKind kind) {
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

  std::vector<Fault> faults_;
  std::array<uint64_t, static_cast<size_t>(CallKind::kCount)> calls_{};
  uint64_t fired_ = 0;
};

}  // namespace tolvex
