#include "scan/folder_listings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override { Sys().ReloadDrives(); }

  void MakeHidden(const std::string& path) {
    ASSERT_EQ(Sys().SetAttributes(path, kAttrHidden), kErrOk) << path;
  }

  TestDrives drives_{"S"};
};

// A lookup in the listing must answer exactly as the platform's own
// enumeration of the literal name does, or decline to answer.
TEST_F(FolderListingTest, FindNameAnswersAsTheLiteralEnumeration) {
  drives_.WriteFile("S:\\F\\Report.TXT", "report", 0);
  drives_.WriteFile("S:\\F\\readme", "readme!", 0);
  drives_.WriteFile("S:\\F\\a.txt", "lower", 0);
#ifndef _WIN32
  // Two spellings of one name can only exist side by side natively.
  drives_.WriteFile("S:\\F\\A.TXT", "UPPER!", 0);
  drives_.WriteFile("S:\\F\\X", "a file", 0);
  drives_.MakeDirs("S:\\F\\x\\");
#endif
  drives_.WriteFile("S:\\F\\.hidden", "h", 0);
  MakeHidden("S:\\F\\.hidden");
  drives_.MakeDirs("S:\\F\\Sub\\");
  const std::shared_ptr<const FolderListing> listing = ReadFolderListing("S:\\F\\");

  const char* names[] = {"Report.TXT", "report.txt", "REPORT.txt", "readme", "README", "a.txt",
                         "A.txt",      "A.TXT",      ".hidden",    ".HIDDEN", "Sub",  "sub",
                         "X",          "x",          "missing.txt", "Report", "Report.TXT.",
                         "readme ",    "r\xC3\xA9sum\xC3\xA9.txt"};
  // Counts in *answered_count the lookups the listing answered itself.
  const auto check = [&](bool exact, int* answered_count) {
    for (const char* name : names) {
      for (const uint32_t mask : {0x00u, 0x02u, 0x10u, 0x16u}) {
        std::vector<FindEntry> real;
        Sys().FindEntries(std::string("S:\\F\\") + name, mask, &real, nullptr);
        bool answered = false;
        const std::optional<ListedEntry> found = listing->FindName(name, mask, exact, &answered);
        if (!answered) {
          EXPECT_FALSE(found.has_value());
          continue;
        }
        ++*answered_count;
        if (real.empty()) {
          EXPECT_FALSE(found.has_value()) << name << " mask " << mask << " found " << found->name;
          continue;
        }
        ASSERT_TRUE(found.has_value()) << name << " mask " << mask;
        EXPECT_EQ(found->name, real[0].name) << name << " mask " << mask;
        EXPECT_EQ(found->attributes, real[0].attributes) << name << " mask " << mask;
        EXPECT_EQ(found->size, real[0].size) << name << " mask " << mask;
        EXPECT_EQ(found->stamp, real[0].stamp) << name << " mask " << mask;
      }
    }
  };
  // Every plain ASCII name is answered from the listing; only the trailing
  // dot or space and the missing non-ASCII name go to the platform.
  int answered = 0;
  check(false, &answered);
  EXPECT_EQ(answered, 16 * 4);
#ifndef _WIN32
  // Where the platform finds names there only as spelled (folders that
  // tell letter case apart), so does the listing, and a miss is a miss.
  Sys().SetExactNameFolders({"S:\\F\\"});
  answered = 0;
  check(true, &answered);
  EXPECT_EQ(answered, 17 * 4);
  Sys().SetExactNameFolders({});
#endif
}

TEST_F(FolderListingTest, ListingsAreKeptOnlyForPlannedUses) {
  drives_.WriteFile("S:\\A\\a.txt", "a");
  drives_.WriteFile("S:\\B\\b.txt", "b");
  FolderListings listings;
  // Before the plan every listing is kept.
  listings.Get("S:\\A\\");
  listings.Get("S:\\B\\");
  listings.Get("S:\\A\\");
  EXPECT_EQ(listings.reads(), 2u);
  // Two uses of A are planned, none of B.
  listings.PlanUses({"S:\\A\\", "S:\\A\\"});
  EXPECT_EQ(listings.Get("S:\\A\\")->size(), listings.Get("S:\\A\\")->size());
  EXPECT_EQ(listings.reads(), 2u);
  listings.Get("S:\\B\\");
  listings.Get("S:\\B\\");
  EXPECT_EQ(listings.reads(), 4u);
  listings.UseDone("S:\\A\\");
  listings.Get("S:\\A\\");
  EXPECT_EQ(listings.reads(), 4u);
  listings.UseDone("S:\\A\\");
  listings.Get("S:\\A\\");
  EXPECT_EQ(listings.reads(), 5u);
}

TEST_F(FolderListingTest, ListingsBeyondTheLimitAreReadAgain) {
  for (const char* name : {"S:\\A\\1", "S:\\A\\2", "S:\\B\\1"}) drives_.WriteFile(name, "x");
  FolderListings listings(3);  // S:\A\ alone holds ".", "..", "1" and "2"
  listings.Get("S:\\A\\");
  listings.Get("S:\\A\\");
  EXPECT_EQ(listings.reads(), 2u);
  listings.Get("S:\\B\\");
  listings.Get("S:\\B\\");
  EXPECT_EQ(listings.reads(), 3u);
}

TEST_F(FolderListingTest, AMissingFolderListsNothing) {
  const std::shared_ptr<const FolderListing> listing = ReadFolderListing("S:\\Missing\\");
  EXPECT_EQ(listing->size(), 0u);
  bool answered = false;
  EXPECT_FALSE(listing->FindName("a.txt", 0, false, &answered).has_value());
  EXPECT_TRUE(answered);
}

}  // namespace
}  // namespace tolvex
