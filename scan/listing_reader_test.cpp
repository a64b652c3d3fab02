#include "scan/listing_reader.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

// The names of a listing, in enumeration order.
std::vector<std::string> NamesOf(const FolderListing& listing) {
  std::vector<std::string> names;
  for (size_t i = 0; i < listing.size(); ++i) names.emplace_back(listing.entry(i).name);
  return names;
}

class ListingReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Sys().ReloadDrives();
    for (int k = 0; k < kFolders; ++k) {
      for (int n = 0; n <= k % 2; ++n) {
        drives_.WriteFile(Folder(k) + "f" + std::to_string(n) + ".txt", std::string(k, 'x'));
      }
    }
  }
  static std::string Folder(int k) { return "S:\\F" + std::to_string(k) + "\\"; }

  static constexpr int kFolders = 100;  // more than the thread may hold ready
  TestDrives drives_{"S"};
};

// Whatever the thread has done by then, each folder asked for is the listing
// the caller's own read gives: taken in the queued order, out of it, twice,
// or never queued.
TEST_F(ListingReaderTest, EveryTakeGivesTheFolderAsReadDirectly) {
  ListingReader reader;
  for (int k = 0; k < kFolders; ++k) reader.Ahead(Folder(k));
  // Out of order first (the thread may not have reached them), then in
  // order, then each a second time.
  const std::vector<int> out_of_order = {99, 70, 3};
  std::vector<int> order = out_of_order;
  for (int k = 0; k < kFolders; ++k) {
    if (k != 99 && k != 70 && k != 3) order.push_back(k);
  }
  for (const int k : order) {
    std::shared_ptr<const FolderListing> listing = reader.Take(Folder(k));
    ASSERT_NE(listing, nullptr) << k;
    const std::shared_ptr<const FolderListing> direct = ReadFolderListing(Folder(k));
    EXPECT_EQ(NamesOf(*listing), NamesOf(*direct)) << k;
    ASSERT_EQ(listing->size(), direct->size());
    for (size_t i = 0; i < listing->size(); ++i) {
      EXPECT_EQ(listing->entry(i).size, direct->entry(i).size) << k;
      EXPECT_EQ(listing->entry(i).stamp, direct->entry(i).stamp) << k;
    }
  }
  // Taken once: a second Take leaves the read to the caller.
  for (const int k : {0, 3, 70, 99}) EXPECT_EQ(reader.Take(Folder(k)), nullptr) << k;
  EXPECT_EQ(reader.Take("S:\\NeverQueued\\"), nullptr);
}

// A scan that stops early (aborted) leaves queued and read listings behind:
// the reader stops without waiting for anyone to take them.
TEST_F(ListingReaderTest, StopsWithListingsNeverTaken) {
  for (int round = 0; round < 3; ++round) {
    ListingReader reader;
    for (int k = 0; k < kFolders; ++k) reader.Ahead(Folder(k));
    if (round > 0) reader.Take(Folder(round));
  }
}

// A platform wrapper counts and holds calls in the order of one thread, so
// the listings are then read only on the scan's own thread, in its order.
class ThreadRecordingPlatform : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls.push_back({std::this_thread::get_id(), pattern});
    }
    return PlatformWrapper::FindEntries(pattern, mask, entries, unusable);
  }
  std::mutex mutex_;
  std::vector<std::pair<std::thread::id, std::string>> calls;
};

TEST_F(ListingReaderTest, ThroughAWrapperEveryFolderIsReadOnTheScansThreadInOrder) {
  ThreadRecordingPlatform recording(&DefaultPlatform());
  SetSys(&recording);
  {
    FolderListings listings;
    for (int k = 0; k < 20; ++k) listings.ReadAhead(Folder(k));
    for (int k = 0; k < 20; ++k) listings.Get(Folder(k));
  }
  SetSys(nullptr);
  ASSERT_EQ(recording.calls.size(), 20u);
  for (int k = 0; k < 20; ++k) {
    EXPECT_EQ(recording.calls[k].first, std::this_thread::get_id()) << k;
    EXPECT_EQ(recording.calls[k].second, Folder(k) + "*.*");
  }
}

}  // namespace
}  // namespace tolvex
