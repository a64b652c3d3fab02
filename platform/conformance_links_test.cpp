// Conformance of links and of entries that are neither file, folder nor
// link: how a listing shows them, and that attributes and copies reach the
// entry itself, never what a link points to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/conformance_support.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

using conformance::FoundEntry;
using conformance::FoundNames;

const char kWineFileLinks[] =
    "measured under Wine 8 with a probe program: a Unix link to a file is listed and answered "
    "as the file itself (attributes 0x21 for a link to a read-only file, no reparse point), and "
    "a link opened with FILE_FLAG_OPEN_REPARSE_POINT changes the target's attributes; Wine's "
    "CreateSymbolicLinkA answers TRUE and makes nothing";

class ConformanceLinks : public testing::Test {
 protected:
  void SetUp() override {
    drives_.MakeDirs("S:\\l");
    drives_.WriteFile("S:\\l\\source.txt", "new content");
    drives_.WriteFile("T:\\elsewhere\\ro.txt", "the target");
    ASSERT_EQ(Sys().SetAttributes("T:\\elsewhere\\ro.txt", kAttrReadOnly), kErrOk);
  }
  void TearDown() override { Sys().SetAttributes("T:\\elsewhere\\ro.txt", 0); }
  bool TargetIsReadOnly() const {
    uint32_t attributes = 0;
    return Sys().GetAttributes("T:\\elsewhere\\ro.txt", &attributes) == kErrOk &&
           (attributes & kAttrReadOnly) != 0;
  }
  TestDrives drives_;
};

// A link to a file is listed as a link; its attributes are its own (never
// read-only), a change of them stays with the link, and a copy onto it
// replaces the link, not the file it leads to.
TEST_F(ConformanceLinks, ALinkToAFileIsALinkWhoseAttributesAndCopiesStayWithIt) {
  if (!drives_.MakeLink("T:\\elsewhere\\ro.txt", "S:\\l\\link.txt")) {
    GTEST_SKIP() << "no symbolic link can be made here (Windows without the right to make links)";
  }
  const FindEntry listed = FoundEntry("S:\\l\\link.txt");
  TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(kWineFileLinks, (listed.attributes & kAttrReparsePoint) == 0,
                                   listed.attributes);
  EXPECT_EQ(listed.attributes & (kAttrReparsePoint | kAttrDirectory | kAttrReadOnly),
            kAttrReparsePoint);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\l\\link.txt", &attributes), kErrOk);
  EXPECT_EQ(attributes & (kAttrReparsePoint | kAttrReadOnly), kAttrReparsePoint);
  ASSERT_EQ(Sys().SetAttributes("S:\\l\\link.txt", 0), kErrOk);
  EXPECT_TRUE(TargetIsReadOnly());
  ASSERT_EQ(Sys().CopyOver("S:\\l\\source.txt", "S:\\l\\link.txt"), kErrOk);
  EXPECT_EQ(drives_.ReadFile("T:\\elsewhere\\ro.txt"), "the target");
  EXPECT_TRUE(TargetIsReadOnly());
  EXPECT_EQ(drives_.ReadFile("S:\\l\\link.txt"), "new content");
  EXPECT_EQ(FoundEntry("S:\\l\\link.txt").attributes & kAttrReparsePoint, 0u);
}

// A link to a folder is a folder with the reparse-point bit, in a listing
// and to GetAttributes; clearing its attributes leaves what it leads to.
TEST_F(ConformanceLinks, ALinkToAFolderIsAFolderWithTheReparsePointBit) {
  if (!drives_.MakeLink("T:\\elsewhere", "S:\\l\\folder")) {
    GTEST_SKIP() << "no symbolic link can be made here (Windows without the right to make links)";
  }
  const uint32_t both = kAttrReparsePoint | kAttrDirectory;
  EXPECT_EQ(FoundEntry("S:\\l\\folder").attributes & both, both);
  uint32_t attributes = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\l\\folder", &attributes), kErrOk);
  EXPECT_EQ(attributes & both, both);
  ASSERT_EQ(Sys().SetAttributes("S:\\l\\folder", 0), kErrOk);
  EXPECT_TRUE(TargetIsReadOnly());
  EXPECT_EQ(drives_.ReadFile("T:\\elsewhere\\ro.txt"), "the target");
}

// A FIFO is listed, as an entry with the device bit alone, so that nobody
// takes its name for a free one; nothing reads from it or replaces it.
TEST_F(ConformanceLinks, APipeIsListedAsADeviceAndNeverReplaced) {
  if (!drives_.MakeFifo("S:\\l\\pipe")) GTEST_SKIP() << "no FIFO can be made on Windows";
  EXPECT_EQ(FoundNames("S:\\l\\*", 0), (std::vector<std::string>{"pipe", "source.txt"}));
  const FindEntry pipe = FoundEntry("S:\\l\\pipe");
  EXPECT_EQ(pipe.attributes, kAttrDevice);
  EXPECT_EQ(pipe.size, 0u);
  EXPECT_EQ(Sys().CopyOver("S:\\l\\source.txt", "S:\\l\\pipe"), kErrAccessDenied);
  EXPECT_EQ(FoundEntry("S:\\l\\pipe").attributes, kAttrDevice);
}

}  // namespace
}  // namespace tolvex
