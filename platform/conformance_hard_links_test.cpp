// Conformance of LinkOver (another name of an existing file, as the
// generations that share unchanged files use it) and of what every copy
// must keep for such files: a copy replaces a name, never writes into the
// file behind it, so the file's other names keep their content.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/conformance_support.h"
#include "platform/dos_stamp.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

using conformance::FoundEntry;
using conformance::FoundNames;

const uint32_t kStamp = PackStamp(LocalTime{2021, 5, 6, 7, 8, 10, 0});
const uint32_t kOtherStamp = PackStamp(LocalTime{2021, 5, 6, 7, 8, 12, 0});

// "S:\old\f.txt", the version a generation holds, and "S:\new\", the
// generation being brought up to date.
const char kShared[] = "S:\\old\\f.txt";
const char kTarget[] = "S:\\new\\f.txt";

Platform::LinkedFile Described(uint64_t size, uint32_t stamp, uint32_t attributes = 0) {
  Platform::LinkedFile file;
  file.size = size;
  file.stamp = stamp;
  file.attributes = attributes;
  return file;
}

// The names of the new generation's folder: nothing temporary stays.
std::vector<std::string> NewNames() { return FoundNames("S:\\new\\*.*", 0xFF); }

class ConformanceHardLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    drives_.WriteFile(kShared, "shared", kStamp);
    drives_.MakeDirs("S:\\new");
  }

  TestDrives drives_{"S"};
};

TEST_F(ConformanceHardLinks, ALinkIsAnotherNameOfTheSameFile) {
  ASSERT_EQ(Sys().LinkOver(kShared, kTarget, Described(6, kStamp)), kErrOk);

  EXPECT_EQ(drives_.ReadFile(kTarget), "shared");
  EXPECT_EQ(FoundEntry(kTarget).stamp, kStamp);
  EXPECT_EQ(NewNames(), (std::vector<std::string>{".", "..", "f.txt"}));
  // One file: what is written into it through one name shows through the
  // other (the engine itself never writes into an existing file).
  drives_.WriteFile(kShared, "written");
  EXPECT_EQ(drives_.ReadFile(kTarget), "written");
  // Asked again, the target already is that file.
  EXPECT_EQ(Sys().LinkOver(kShared, kTarget, Described(7, FoundEntry(kShared).stamp)), kErrOk);
  EXPECT_EQ(NewNames(), (std::vector<std::string>{".", "..", "f.txt"}));
}

TEST_F(ConformanceHardLinks, ALinkReplacesAnExistingTargetByRename) {
  drives_.WriteFile(kTarget, "an older version");
  drives_.WriteFile("S:\\keep\\f.txt", "other generation");
  // The old target is itself shared with a third generation, which must
  // keep its version.
  ASSERT_EQ(Sys().LinkOver("S:\\keep\\f.txt", kTarget,
                           Described(16, FoundEntry("S:\\keep\\f.txt").stamp)),
            kErrOk);

  ASSERT_EQ(Sys().LinkOver(kShared, kTarget, Described(6, kStamp)), kErrOk);

  EXPECT_EQ(drives_.ReadFile(kTarget), "shared");
  EXPECT_EQ(drives_.ReadFile("S:\\keep\\f.txt"), "other generation");
  EXPECT_EQ(NewNames(), (std::vector<std::string>{".", "..", "f.txt"}));
}

// Each refusal leaves the target as it was, the shared file as it was,
// and nothing temporary behind.
TEST(ConformanceHardLinksRefused, ARefusedLinkChangesNothing) {
  struct Case {
    const char* label;
    std::function<void(const TestDrives&)> setup;
    std::string existing;
    std::string target;
    Platform::LinkedFile expected;
    uint32_t code;
  };
  const std::vector<Case> cases = {
      {"another size", nullptr, kShared, kTarget, Described(7, kStamp), kErrDiffers},
      {"another stamp", nullptr, kShared, kTarget, Described(6, kOtherStamp), kErrDiffers},
      {"read-only described, writable there", nullptr, kShared, kTarget,
       Described(6, kStamp, kAttrReadOnly), kErrDiffers},
      {"a read-only file",
       [](const TestDrives&) { ASSERT_EQ(Sys().SetAttributes(kShared, kAttrReadOnly), kErrOk); },
       kShared, kTarget, Described(6, kStamp, kAttrReadOnly), kErrAccessDenied},
      {"a folder", [](const TestDrives& d) { d.MakeDirs("S:\\old\\dir"); }, "S:\\old\\dir",
       "S:\\new\\dir", Described(0, kStamp), kErrAccessDenied},
      {"a missing file", nullptr, "S:\\old\\gone.txt", kTarget, Described(6, kStamp),
       kErrFileNotFound},
      {"a missing target folder", nullptr, kShared, "S:\\new\\none\\f.txt", Described(6, kStamp),
       kErrPathNotFound},
      {"a read-only target",
       [](const TestDrives& d) {
         d.WriteFile(kTarget, "kept");
         ASSERT_EQ(Sys().SetAttributes(kTarget, kAttrReadOnly), kErrOk);
       },
       kShared, kTarget, Described(6, kStamp), kErrAccessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TestDrives drives("S");
    drives.WriteFile(kShared, "shared", kStamp);
    drives.MakeDirs("S:\\new");
    if (c.setup) c.setup(drives);
    const bool had_target = drives.Exists(kTarget);
    const std::string before = drives.ReadFile(kTarget);

    EXPECT_EQ(Sys().LinkOver(c.existing, c.target, c.expected), c.code);

    EXPECT_EQ(drives.Exists(kTarget), had_target);
    EXPECT_EQ(drives.ReadFile(kTarget), before);
    EXPECT_EQ(drives.ReadFile(kShared), "shared");
    EXPECT_EQ(NewNames().size(), had_target ? 3u : 2u) << conformance::Listed(NewNames());
    Sys().SetAttributes(kShared, 0);
    Sys().SetAttributes(kTarget, 0);
  }
}

// Every way the engine copies (at once, or staged and put in place
// later) replaces the target's name: the file behind a shared target is
// never opened for writing, so its other name keeps its content.
TEST_F(ConformanceHardLinks, ACopyOverASharedTargetLeavesItsOtherNameAlone) {
  const std::vector<std::pair<const char*, std::function<uint32_t()>>> copies = {
      {"CopyOver", [] { return Sys().CopyOver("S:\\src\\f.txt", kTarget); }},
      {"StageCopy",
       [] {
         const Platform::StageResult staged = Sys().StageCopy("S:\\src\\f.txt", kTarget);
         if (!staged.staged) return staged.error;
         uint32_t failure = kErrOk;
         return Sys().CompleteStagedCopies(&failure) == 1 ? kErrOk : failure;
       }},
  };
  for (const auto& [label, copy] : copies) {
    SCOPED_TRACE(label);
    drives_.WriteFile(kShared, "shared", kStamp);
    drives_.WriteFile("S:\\src\\f.txt", "a changed version", kOtherStamp);
    ASSERT_EQ(Sys().LinkOver(kShared, kTarget, Described(6, kStamp)), kErrOk);

    ASSERT_EQ(copy(), kErrOk);

    EXPECT_EQ(drives_.ReadFile(kTarget), "a changed version");
    EXPECT_EQ(FoundEntry(kTarget).stamp, kOtherStamp);
    EXPECT_EQ(drives_.ReadFile(kShared), "shared");
    EXPECT_EQ(FoundEntry(kShared).stamp, kStamp);
    // And erasing the name leaves the other one.
    ASSERT_EQ(Sys().LinkOver(kShared, kTarget, Described(6, kStamp)), kErrOk);
    ASSERT_EQ(Sys().RemoveFile(kTarget), kErrOk);
    EXPECT_EQ(drives_.ReadFile(kShared), "shared");
  }
}

}  // namespace
}  // namespace tolvex
