// A listing's entries looked up one at a time and in batches through
// io_uring give the same listing, entry by entry: names, sizes, stamps,
// attributes, links, the entries that cannot be looked up, and those that
// vanish or change between the folder's read and their lookup.
#ifndef _WIN32

#include "platform/posix/entry_lookups.h"

#include <fstream>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/dos_stamp.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/system_calls.h"
#include "testing/test_drives.h"

namespace tolvex::posix {
namespace {

PosixPlatform& Posix() { return static_cast<PosixPlatform&>(DefaultPlatform()); }

constexpr uint32_t kEveryEntry = 0xFF;

struct Listing {
  uint32_t code = 0;
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
};

using EntryFields = std::tuple<std::string, uint64_t, uint32_t, uint32_t, uint32_t>;

std::vector<EntryFields> FieldsOf(const std::vector<FindEntry>& entries) {
  std::vector<EntryFields> fields;
  for (const FindEntry& entry : entries) {
    fields.emplace_back(entry.name, entry.size, entry.attributes, entry.stamp, entry.fraction);
  }
  return fields;
}

std::string Describe(const LookupMode mode) {
  switch (mode) {
    case LookupMode::kOneAtATime: return "one at a time";
    case LookupMode::kBatched: return "batched";
    case LookupMode::kAdaptive: return "adaptive";
  }
  return "?";
}

class EntryLookupsTest : public testing::Test {
 protected:
  void SetUp() override { Posix().SetRacyWindowForTesting(0); }
  void TearDown() override {
    Posix().LookupsForTesting().SetMode(LookupModeFromEnvironment());
    Posix().SetBeforeLookupsForTesting(nullptr);
    Posix().SetRacyWindowForTesting(NameIndex::kRacyWindowNs);
    SetNewerCallsMissingForTesting(false);
  }

  // A folder of more entries than one batch holds: files of many sizes,
  // stamps and parts of a second, read-only and hidden ones, folders, a
  // FIFO, names Windows cannot hold, and links: to a file, to a folder,
  // dangling, and links whose targets cannot be looked up (a loop, a path
  // through a file, a name too long for the file system).
  void MakeTree(const std::string& folder) const {
    for (int i = 0; i < 150; ++i) {
      const std::string path = folder + "\\file" + std::to_string(i) + (i % 3 ? ".txt" : "");
      drives_.WriteFile(path, std::string(static_cast<size_t>(i * 37 % 1000), 'x'));
      drives_.SetNativeWriteTime(path, 1600000000 + i * 7919, static_cast<uint32_t>(i) * 1234567u);
      if (i % 10 == 0) {
        ASSERT_EQ(chmod(drives_.Native(path).c_str(), 0444), 0);
      }
    }
    drives_.WriteFile(folder + "\\.hidden", "h");
    drives_.MakeDirs(folder + "\\sub");
    drives_.WriteFile(folder + "\\sub\\inner.txt", "i");
    drives_.WriteFile(folder + "\\plain", "p");
    ASSERT_TRUE(drives_.MakeFifo(folder + "\\pipe"));
    drives_.WriteFile(folder + "\\trailing.", "d");
    const std::string native = drives_.Native(folder);
    drives_.WriteFile(folder + "\\target.bin", "0123456789");
    ASSERT_TRUE(drives_.MakeLink(folder + "\\target.bin", folder + "\\to-file"));
    ASSERT_TRUE(drives_.MakeLink(folder + "\\sub", folder + "\\to-folder"));
    ASSERT_EQ(symlink("missing", (native + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop-b", (native + "/loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", (native + "/loop-b").c_str()), 0);
    ASSERT_EQ(symlink("plain/below", (native + "/through-a-file").c_str()), 0);
    ASSERT_EQ(symlink(std::string(300, 'n').c_str(), (native + "/too-long").c_str()), 0);
    // A name that already holds a character of the name mapping: no engine
    // name could stand for it alone, so it is reported unusable.
    std::ofstream(native + "/mapped\xEF\x80\xBA") << "m";
  }

  Listing List(const std::string& folder, LookupMode mode) const {
    Posix().LookupsForTesting().SetMode(mode);
    Listing listing;
    listing.code = Sys().FindEntries(folder + "\\*", kEveryEntry, &listing.entries, &listing.unusable);
    return listing;
  }

  TestDrives drives_{"S"};
};

// One folder listed in every mode: the same entries in the same order.
TEST_F(EntryLookupsTest, BatchedLookupsListExactlyWhatLookupsOneAtATimeList) {
  MakeTree("S:\\d");
  const Listing one_by_one = List("S:\\d", LookupMode::kOneAtATime);
  ASSERT_EQ(one_by_one.code, kErrOk);
  // What the tree holds, so that equal listings are not equally empty.
  // ".", "..", files, sub, pipe, every link (those whose targets cannot
  // be looked up as dangling ones), and "trailing." under its mapped name;
  // the one unusable name is left out
  ASSERT_EQ(one_by_one.entries.size(), 150u + 15u);
  ASSERT_EQ(one_by_one.unusable.size(), 1u);        // "trailing."
  const auto found = [&](const std::string& name) {
    for (const FindEntry& entry : one_by_one.entries) {
      if (entry.name == name) return entry;
    }
    return FindEntry();
  };
  const uint32_t kinds = kAttrSymbolicLink | kAttrLinkToFolder | kAttrLinkDangling | kAttrDirectory;
  EXPECT_EQ(found("to-file").size, drives_.Native("S:\\d\\target.bin").size());
  EXPECT_EQ(found("to-file").attributes & kinds, kAttrSymbolicLink);
  EXPECT_EQ(found("to-folder").attributes & kinds, kAttrSymbolicLink | kAttrLinkToFolder);
  EXPECT_EQ(found("pipe").attributes, kAttrDevice);
  for (const char* dangling : {"dangling", "loop-a", "loop-b", "through-a-file", "too-long"}) {
    EXPECT_EQ(found(dangling).attributes & kinds, kAttrSymbolicLink | kAttrLinkDangling) << dangling;
  }

  const uint64_t batched_before = Posix().LookupsForTesting().batched_lookups();
  for (const LookupMode mode : {LookupMode::kBatched, LookupMode::kAdaptive}) {
    SCOPED_TRACE(Describe(mode));
    const Listing other = List("S:\\d", mode);
    EXPECT_EQ(other.code, one_by_one.code);
    EXPECT_EQ(FieldsOf(other.entries), FieldsOf(one_by_one.entries));
    EXPECT_EQ(other.unusable, one_by_one.unusable);
  }
  if (!Posix().LookupsForTesting().RingAvailableForTesting()) {
    GTEST_SKIP() << "io_uring cannot be had here (no liburing in the build, or the kernel refuses): "
                    "only the lookups one at a time were compared";
  }
  // Every entry but "." went through the ring in the batched listing, the
  // links' targets a second time.
  EXPECT_GE(Posix().LookupsForTesting().batched_lookups() - batched_before, 150u + 15u);
}

// Sets the time of every entry of native `folder` that is not one of the
// numbered files (links themselves, folders, the folder itself), so that a
// tree made again lists the same stamps.
void FixTimes(const std::string& folder) {
  const struct timespec times[2] = {{1700000000, 5}, {1700000000, 123456789}};
  DIR* dir = opendir(folder.c_str());
  ASSERT_NE(dir, nullptr);
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name == "." || name == ".." || name.rfind("file", 0) == 0) continue;
    EXPECT_EQ(utimensat(dirfd(dir), name.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << name;
  }
  closedir(dir);
  EXPECT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

// Between the read of a batch of names and their lookup, entries vanish,
// a file becomes a folder and another a dangling link: each path lists
// what is there at the lookup, and the two agree. The same tree is made
// again for each, so that the folder is read in the same order.
TEST_F(EntryLookupsTest, EntriesThatChangeBetweenTheReadAndTheLookupAreListedAsTheLookupFindsThem) {
  const std::string native = drives_.Native("S:\\d");
  std::vector<Listing> listings;
  std::vector<std::vector<std::string>> vanished_in;
  for (const LookupMode mode : {LookupMode::kOneAtATime, LookupMode::kBatched}) {
    SCOPED_TRACE(Describe(mode));
    std::filesystem::remove_all(native);
    MakeTree("S:\\d");
    FixTimes(native);
    std::vector<std::string> vanished;
    std::string now_folder;
    std::string now_dangling;
    Posix().SetBeforeLookupsForTesting([&](const std::vector<std::string>& names) {
      if (!vanished.empty()) return;  // the first batch only
      std::vector<std::string> files;
      for (const std::string& name : names) {
        if (name.rfind("file", 0) == 0) files.push_back(name);
      }
      ASSERT_GE(files.size(), 6u);
      for (size_t i = 0; i < files.size(); i += 3) {
        ASSERT_EQ(unlink((native + "/" + files[i]).c_str()), 0);
        vanished.push_back(files[i]);
      }
      now_folder = files[1];
      ASSERT_EQ(unlink((native + "/" + now_folder).c_str()), 0);
      ASSERT_EQ(mkdir((native + "/" + now_folder).c_str(), 0755), 0);
      const struct timespec times[2] = {{1710000000, 0}, {1710000000, 0}};
      ASSERT_EQ(utimensat(AT_FDCWD, (native + "/" + now_folder).c_str(), times, 0), 0);
      now_dangling = files[2];
      ASSERT_EQ(unlink((native + "/" + now_dangling).c_str()), 0);
      ASSERT_EQ(symlink("gone", (native + "/" + now_dangling).c_str()), 0);
      ASSERT_EQ(utimensat(AT_FDCWD, (native + "/" + now_dangling).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    });
    Listing listing = List("S:\\d", mode);
    Posix().SetBeforeLookupsForTesting(nullptr);
    ASSERT_FALSE(vanished.empty());
    EXPECT_EQ(listing.code, kErrOk);
    bool folder_listed = false;
    for (const FindEntry& entry : listing.entries) {
      EXPECT_EQ(std::count(vanished.begin(), vanished.end(), entry.name), 0) << entry.name;
      if (entry.name == now_dangling) {
        EXPECT_NE(entry.attributes & kAttrLinkDangling, 0u);
      }
      if (entry.name == now_folder) {
        folder_listed = true;
        EXPECT_EQ(entry.attributes, kAttrDirectory);
      }
    }
    EXPECT_TRUE(folder_listed) << now_folder;
    EXPECT_EQ(listing.entries.size(), 150u + 15u - vanished.size());
    for (FindEntry& entry : listing.entries) {
      if (entry.name == "..") entry.stamp = entry.fraction = 0;  // the drive's root, changed meanwhile
    }
    listings.push_back(std::move(listing));
    vanished_in.push_back(vanished);
  }
  EXPECT_EQ(vanished_in[0], vanished_in[1]);
  EXPECT_EQ(FieldsOf(listings[1].entries), FieldsOf(listings[0].entries));
  EXPECT_EQ(listings[1].unusable, listings[0].unusable);
}

// Where the newer calls are missing (an old kernel, io_uring switched off
// or filtered), no lookup goes through the ring and the listing is the same.
TEST_F(EntryLookupsTest, WithoutTheNewerCallsEveryLookupIsMadeOneAtATime) {
  MakeTree("S:\\d");
  const Listing one_by_one = List("S:\\d", LookupMode::kOneAtATime);
  SetNewerCallsMissingForTesting(true);
  const uint64_t batched_before = Posix().LookupsForTesting().batched_lookups();
  const Listing fallen_back = List("S:\\d", LookupMode::kBatched);
  EXPECT_EQ(Posix().LookupsForTesting().batched_lookups(), batched_before);
  EXPECT_EQ(fallen_back.code, one_by_one.code);
  EXPECT_EQ(FieldsOf(fallen_back.entries), FieldsOf(one_by_one.entries));
  EXPECT_EQ(fallen_back.unusable, one_by_one.unusable);
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
