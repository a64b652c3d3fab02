// The fault-injecting wrapper: it fails exactly the chosen call, counts
// calls per kind, and a sweep over the failure point ends by itself.
#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

// Installs a platform for one scope.
class ScopedSys {
 public:
  explicit ScopedSys(Platform* platform) { SetSys(platform); }
  ~ScopedSys() { SetSys(nullptr); }
};

const std::vector<std::string> kFiles = {"one.txt", "two.txt", "three.txt"};

// A small update: copy each file over its older backup; returns the codes.
std::vector<uint32_t> CopyAll() {
  std::vector<uint32_t> codes;
  for (const std::string& name : kFiles) codes.push_back(Sys().CopyOver("S:\\" + name, "T:\\" + name));
  return codes;
}

TEST(FaultInjectionTest, SweepFailsEachCopyInTurnAndNothingIsLost) {
  TestDrives drives;
  uint64_t n = 1;
  for (;; ++n) {
    for (const std::string& name : kFiles) {
      drives.WriteFile("S:\\" + name, "new " + name);
      drives.WriteFile("T:\\" + name, "old " + name);
    }
    FaultInjectingPlatform faulty(&DefaultPlatform());
    faulty.FailCall(CallKind::kCopyOver, n, kErrDiskFull);
    std::vector<uint32_t> codes;
    {
      ScopedSys scoped(&faulty);
      codes = CopyAll();
    }
    EXPECT_EQ(faulty.calls(CallKind::kCopyOver), kFiles.size());
    if (!faulty.fired()) break;
    EXPECT_EQ(faulty.fired(), 1u);
    for (size_t i = 0; i < kFiles.size(); ++i) {
      const bool failed = i + 1 == n;
      EXPECT_EQ(codes[i], failed ? kErrDiskFull : kErrOk) << "n=" << n << " file " << i;
      EXPECT_EQ(drives.ReadFile("T:\\" + kFiles[i]), (failed ? "old " : "new ") + kFiles[i]);
    }
  }
  EXPECT_EQ(n, kFiles.size() + 1);  // every copy was failed once, then none
}

TEST(FaultInjectionTest, FromThenOnFailsEveryLaterCallOfTheKindOnly) {
  TestDrives drives;
  for (const std::string& name : kFiles) drives.WriteFile("S:\\" + name, name);
  FaultInjectingPlatform faulty(&DefaultPlatform());
  faulty.FailCall(CallKind::kCopyOver, 2, kErrAccessDenied,
                  FaultInjectingPlatform::Repeat::kFromThenOn);
  ScopedSys scoped(&faulty);
  EXPECT_EQ(CopyAll(), (std::vector<uint32_t>{kErrOk, kErrAccessDenied, kErrAccessDenied}));
  EXPECT_EQ(faulty.fired(), 2u);
  // Other kinds pass through and are counted on their own.
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("T:\\one.txt", &attributes), kErrOk);
  EXPECT_EQ(Sys().GetAttributes("T:\\two.txt", &attributes), kErrFileNotFound);
  EXPECT_EQ(faulty.calls(CallKind::kGetAttributes), 2u);
  EXPECT_EQ(faulty.calls(CallKind::kCopyOver), 3u);
  faulty.Reset();
  EXPECT_EQ(faulty.calls(CallKind::kCopyOver), 0u);
  EXPECT_EQ(Sys().CopyOver("S:\\two.txt", "T:\\two.txt"), kErrOk);
}

TEST(FaultInjectionTest, FailedCallsLeaveOutParametersAndTheDiskAlone) {
  TestDrives drives;
  drives.WriteFile("S:\\a.txt", "a");
  FaultInjectingPlatform faulty(&DefaultPlatform());
  faulty.FailCall(CallKind::kFind, 1, kErrPathNotFound);
  faulty.FailCall(CallKind::kOpenForWrite, 1, kErrAccessDenied);
  faulty.FailCall(CallKind::kRemoveFile, 1, kErrSharingViolation);
  faulty.FailCall(CallKind::kWriteProfile, 1, kErrDiskFull);
  faulty.FailCall(CallKind::kDiskFreeSpace, 1, kErrPathNotFound);
  ScopedSys scoped(&faulty);

  std::vector<FindEntry> entries(1);
  EXPECT_EQ(Sys().FindEntries("S:\\*", 0, &entries, nullptr), kErrPathNotFound);
  EXPECT_EQ(entries.size(), 1u);
  std::FILE* file = reinterpret_cast<std::FILE*>(&entries);
  EXPECT_EQ(Sys().OpenForWrite("S:\\log.txt", true, &file), kErrAccessDenied);
  EXPECT_EQ(file, nullptr);
  EXPECT_FALSE(drives.Exists("S:\\log.txt"));
  EXPECT_EQ(Sys().RemoveFile("S:\\a.txt"), kErrSharingViolation);
  EXPECT_TRUE(drives.Exists("S:\\a.txt"));
  EXPECT_FALSE(Sys().WriteProfileString("S:\\p.ini", "S", "K", "1"));
  EXPECT_FALSE(drives.Exists("S:\\p.ini"));
  uint64_t free_bytes = 7;
  EXPECT_EQ(Sys().DiskFreeSpace("S:\\", &free_bytes), kErrPathNotFound);
  EXPECT_EQ(free_bytes, 7u);
  // The second calls go through.
  EXPECT_EQ(Sys().FindEntries("S:\\*", 0, &entries, nullptr), kErrOk);
  EXPECT_EQ(Sys().RemoveFile("S:\\a.txt"), kErrOk);
  EXPECT_TRUE(Sys().WriteProfileString("S:\\p.ini", "S", "K", "1"));
  EXPECT_EQ(faulty.fired(), 5u);
}

}  // namespace
}  // namespace tolvex
