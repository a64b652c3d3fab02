#include "scan/tree_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/sync_state.h"
#include "platform/platform.h"
#include "testing/test_drives.h"
#include "testing/test_volumes.h"

namespace tolvex {
namespace {

constexpr uint32_t Stamp(int year, int month, int day, int hour = 12, int minute = 0) {
  return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
         (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
         (static_cast<uint32_t>(minute) << 5);
}

constexpr uint32_t kOld = Stamp(2001, 3, 4);
constexpr uint32_t kMid = Stamp(2010, 6, 7);
constexpr uint32_t kNew = Stamp(2020, 9, 10);

std::vector<STRING> Entries(const std::vector<std::string>& texts) {
  std::vector<STRING> list;
  for (const std::string& text : texts) list.emplace_back(text, 0);
  return list;
}

std::vector<std::string> Texts(const std::vector<STRING>& list) {
  std::vector<std::string> texts;
  for (const STRING& entry : list) texts.push_back(entry.text());
  return texts;
}

// Records every call in order, one line each.
class RecordingProgress final : public SearchProgressView {
 public:
  void SetStatusText(const std::string& text) override { calls.push_back("status " + text); }
  void SetGaugeRange(int minimum, int maximum) override {
    calls.push_back("range " + std::to_string(minimum) + " " + std::to_string(maximum));
  }
  void SetGaugePosition(int position) override {
    calls.push_back("position " + std::to_string(position));
  }
  void SetWaitCursor(bool) override {}
  std::vector<std::string> calls;
};

// Counts pump steps and enumerations, and sets Aborted inside the n-th pump
// step (0: never), as the Cancel button would.
class PumpCounter final : public PlatformWrapper {
 public:
  explicit PumpCounter(bool& aborted, int abort_at = 0)
      : PlatformWrapper(&DefaultPlatform()), aborted_(aborted), abort_at_(abort_at) {}
  bool TakeOneMessage() override {
    if (++pumps == abort_at_) aborted_ = true;
    return false;
  }
  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    if (aborted_) ++finds_after_abort;
    return PlatformWrapper::FindEntries(pattern, mask, entries, unusable);
  }
  int pumps = 0;
  int finds_after_abort = 0;

 private:
  bool& aborted_;
  int abort_at_;
};

class TreeScan : public ::testing::Test {
 protected:
  void SetUp() override {
    Sys().ReloadDrives();
    Reset();
  }
  void TearDown() override { SetSys(nullptr); }

  // A fresh run's starting point: a new job and plan, flat mode into
  // T:\Backup\, every file.
  void Reset() {
    job_ = TParameters();
    plan_ = Plan();
    plan_.DestinationRoot = "T:\\Backup\\";
    plan_.SourceDrive = 'S';
    job_.LastUpdate = 0xFFFFFFFF;
    job_.FInclSels = Entries({"*.*"});
    drives_.MakeDirs("T:\\Backup\\");
  }

  void MakeHidden(const std::string& path) {
    ASSERT_EQ(Sys().SetAttributes(path, kAttrHidden), kErrOk) << path;
  }

  // "folder|name|extension" of every candidate, sorted: the order within a
  // folder is the file system's.
  std::vector<std::string> CandidateKeys() const {
    std::vector<std::string> keys;
    for (const CANDIDATE& c : plan_.candidates) {
      keys.push_back(plan_.dirList.at(c.dirIndex).text() + "|" + c.name + "|" + c.extension);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  const CANDIDATE* Find(const std::string& folder, const std::string& file_name) const {
    for (const CANDIDATE& c : plan_.candidates) {
      if (plan_.dirList.at(c.dirIndex).text() == folder && c.name + c.extension == file_name)
        return &c;
    }
    return nullptr;
  }

  TestDrives drives_{"STU"};
  TParameters job_;
  Plan plan_;
};

// --- Which folders are visited ------------------------------------------------

TEST_F(TreeScan, FolderSelectionsDecideTheVisitedFolders) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  drives_.WriteFile("S:\\Data\\a.txt", "a");
  drives_.WriteFile("S:\\Data\\Letters\\l.txt", "l");
  drives_.WriteFile("S:\\Data\\Temp\\Old\\o.txt", "o");
  const std::string kData = "S:\\Data\\";
  const std::string kLetters = "S:\\Data\\Letters\\";
  const std::string kTemp = "S:\\Data\\Temp\\";
  const std::string kOldDir = "S:\\Data\\Temp\\Old\\";
  struct Case {
    const char* what;
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    std::vector<std::string> visited;
  } cases[] = {
      {"one folder without star", {"S:\\Data\\"}, {}, {kData}},
      {"a whole subtree", {"S:\\Data\\*"}, {}, {kData, kLetters, kTemp, kOldDir}},
      {"exclude one folder", {"S:\\Data\\*"}, {"S:\\Data\\Temp\\"}, {kData, kLetters, kOldDir}},
      {"exclude a subtree", {"S:\\Data\\*"}, {"S:\\Data\\Temp\\*"}, {kData, kLetters}},
      {"exclude wins over include", {"S:\\Data\\"}, {"S:\\Data\\*"}, {}},
      {"an exclusion in another case", {"S:\\Data\\*"}, {"S:\\data\\temp\\"}, {kData, kLetters, kOldDir}},
      {"overlaps are visited once", {"S:\\Data\\*", "S:\\Data\\Letters\\"}, {},
       {kData, kLetters, kTemp, kOldDir}},
      {"nested subtrees are visited once", {"S:\\Data\\*", "S:\\Data\\Temp\\*"}, {},
       {kData, kLetters, kTemp, kOldDir}},
      {"missing, absent drive, a file", {"S:\\Missing\\", "Q:\\Data\\", "S:\\Data\\a.txt\\", "S:\\Data\\Letters\\"},
       {"S:\\Gone\\*"}, {kLetters}},
      {"a whole drive", {"S:\\*"}, {"S:\\Data\\Temp\\*"}, {"S:\\", kData, kLetters}},
  };
  for (const Case& c : cases) {
    Reset();
    job_.DInclSels = Entries(c.includes);
    job_.DExclSels = Entries(c.excludes);
    ScanTrees(job_, plan_, nullptr);
    EXPECT_EQ(Texts(plan_.dirList), c.visited) << c.what;
    EXPECT_EQ(plan_.counterpartList.size(), plan_.dirList.size()) << c.what;
  }
}

TEST_F(TreeScan, WithoutAKnownMappingNothingIsVisited) {
  drives_.WriteFile("S:\\Data\\a.txt", "a");
  struct Case {
    int32_t path_mode;
    const char* destination_root;
  } cases[] = {{3, "T:\\Backup\\"}, {-1, "T:\\Backup\\"}, {0, ""}, {1, "Backup\\"}, {2, "T:\\Backup"}};
  for (const Case& c : cases) {
    Reset();
    job_.DInclSels = Entries({"S:\\Data\\*"});
    job_.PathMode = c.path_mode;
    plan_.DestinationRoot = c.destination_root;
    ScanTrees(job_, plan_, nullptr);
    EXPECT_TRUE(plan_.dirList.empty()) << c.path_mode << " " << c.destination_root;
    EXPECT_TRUE(plan_.candidates.empty()) << c.path_mode << " " << c.destination_root;
  }
}

// --- Pairing by path mode -------------------------------------------------------

TEST_F(TreeScan, FullPathModeScansBothTreesAndPairsThem) {
  drives_.WriteFile("S:\\Data\\Sub\\same.txt", "same", kMid);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\same.txt", "same", kMid);
  drives_.WriteFile("S:\\Data\\Sub\\newer.txt", "new text", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\newer.txt", "old", kOld);
  drives_.WriteFile("S:\\Data\\Sub\\older.txt", "old", kOld);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\older.txt", "new", kNew);
  drives_.WriteFile("S:\\Data\\source_only.txt", "s", kMid);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\dest_only.txt", "d", kMid);
  job_.PathMode = 1;
  job_.OrphanModeD1 = 0;
  job_.OrphanModeD2 = 2;
  job_.DInclSels = Entries({"S:\\Data\\*"});
  ScanTrees(job_, plan_, nullptr);

  EXPECT_EQ(Texts(plan_.dirList),
            (std::vector<std::string>{"S:\\Data\\", "S:\\Data\\Sub\\", "T:\\Backup\\Data\\",
                                      "T:\\Backup\\Data\\Sub\\"}));
  EXPECT_EQ(Texts(plan_.counterpartList),
            (std::vector<std::string>{"T:\\Backup\\Data\\", "T:\\Backup\\Data\\Sub\\", "S:\\Data\\",
                                      "S:\\Data\\Sub\\"}));
  for (size_t i = 0; i < plan_.dirList.size(); ++i) {
    EXPECT_EQ(plan_.dirList[i].mark(), i < 2 ? 0 : 1) << plan_.dirList[i].text();
    EXPECT_EQ(plan_.counterpartList[i].mark(), i < 2 ? 1 : 0) << plan_.counterpartList[i].text();
  }
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\Sub\\|newer|.txt", "S:\\Data\\|source_only|.txt",
                                                       "T:\\Backup\\Data\\Sub\\|dest_only|.txt"}));
  const CANDIDATE* newer = Find("S:\\Data\\Sub\\", "newer.txt");
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(newer->state, STATE_NORMAL);
  EXPECT_EQ(newer->size, 8u);
  EXPECT_EQ(newer->counterSize, 3u);
  EXPECT_EQ(newer->stamp, kNew);
  EXPECT_EQ(newer->counterStamp, kOld);
  EXPECT_EQ(newer->attributes & (kAttrDirectory | kAttrHidden), 0u);
  EXPECT_NE(newer->counterAttributes, 0u);
  const CANDIDATE* orphan = Find("S:\\Data\\", "source_only.txt");
  ASSERT_NE(orphan, nullptr);
  EXPECT_EQ(orphan->state, STATE_NORMAL);
  EXPECT_EQ(orphan->counterSize, 0u);
  EXPECT_EQ(orphan->counterStamp, 0u);
  EXPECT_EQ(orphan->counterAttributes, 0u);
  const CANDIDATE* dest_only = Find("T:\\Backup\\Data\\Sub\\", "dest_only.txt");
  ASSERT_NE(dest_only, nullptr);
  EXPECT_EQ(dest_only->state, STATE_ERASE | STATE_DEST_SIDE);
}

TEST_F(TreeScan, RelativePathModeMapsBelowTheCommonRoot) {
  drives_.WriteFile("S:\\Data\\Letters\\x.txt", "new", kNew);
  drives_.WriteFile("S:\\Data\\Letters\\Old\\y.txt", "y", kMid);
  drives_.MakeDirs("S:\\Data\\Music\\");
  drives_.WriteFile("T:\\Backup\\Letters\\x.txt", "old", kOld);
  drives_.WriteFile("T:\\Backup\\Music\\z.txt", "z", kMid);
  job_.PathMode = 2;
  job_.OrphanModeD2 = 1;
  job_.DInclSels = Entries({"S:\\Data\\Letters\\*", "S:\\Data\\Music\\"});
  ScanTrees(job_, plan_, nullptr);

  EXPECT_EQ(plan_.CommonRoot, "S:\\Data\\");
  EXPECT_EQ(Texts(plan_.dirList),
            (std::vector<std::string>{"S:\\Data\\Letters\\", "S:\\Data\\Letters\\Old\\",
                                      "S:\\Data\\Music\\", "T:\\Backup\\Letters\\",
                                      "T:\\Backup\\Music\\"}));
  EXPECT_EQ(Texts(plan_.counterpartList),
            (std::vector<std::string>{"T:\\Backup\\Letters\\", "T:\\Backup\\Letters\\Old\\",
                                      "T:\\Backup\\Music\\", "S:\\Data\\Letters\\",
                                      "S:\\Data\\Music\\"}));
  EXPECT_EQ(CandidateKeys(),
            (std::vector<std::string>{"S:\\Data\\Letters\\Old\\|y|.txt", "S:\\Data\\Letters\\|x|.txt",
                                      "T:\\Backup\\Music\\|z|.txt"}));
  const CANDIDATE* x = Find("S:\\Data\\Letters\\", "x.txt");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->counterStamp, kOld);
  const CANDIDATE* z = Find("T:\\Backup\\Music\\", "z.txt");
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->state, STATE_IGNORE | STATE_DEST_SIDE);
}

TEST_F(TreeScan, RelativePathModeOnSeveralDrivesHasNoCommonRoot) {
  drives_.WriteFile("S:\\A\\a.txt", "a");
  drives_.WriteFile("U:\\B\\b.txt", "b");
  job_.PathMode = 2;
  plan_.CommonRoot = "left over";
  job_.DInclSels = Entries({"S:\\A\\", "U:\\B\\"});
  ScanTrees(job_, plan_, nullptr);
  EXPECT_EQ(plan_.CommonRoot, "");
  EXPECT_EQ(Texts(plan_.dirList), (std::vector<std::string>{"S:\\A\\", "U:\\B\\"}));
  EXPECT_EQ(plan_.candidates.size(), 2u);
}

TEST_F(TreeScan, FlatModePairsSameNamedFilesOfEveryFolderWithTheOneDestinationFile) {
  drives_.WriteFile("S:\\A\\x.txt", "from a", kNew);
  drives_.WriteFile("S:\\B\\x.txt", "from b!", kNew);
  drives_.WriteFile("S:\\B\\y.txt", "y", kMid);
  drives_.WriteFile("T:\\Backup\\x.txt", "old", kOld);
  drives_.WriteFile("T:\\Backup\\y.txt", "y", kMid);
  job_.PathMode = 0;
  job_.DInclSels = Entries({"S:\\A\\", "S:\\B\\"});
  ScanTrees(job_, plan_, nullptr);

  EXPECT_EQ(Texts(plan_.dirList), (std::vector<std::string>{"S:\\A\\", "S:\\B\\"}));
  EXPECT_EQ(Texts(plan_.counterpartList),
            (std::vector<std::string>{"T:\\Backup\\", "T:\\Backup\\"}));
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\A\\|x|.txt", "S:\\B\\|x|.txt"}));
  for (const CANDIDATE& c : plan_.candidates) {
    EXPECT_EQ(c.counterStamp, kOld);
    EXPECT_EQ(c.counterSize, 3u);
  }
  // Only one may be carried out: the newest, on a tie the first folder's.
  EXPECT_EQ(Find("S:\\A\\", "x.txt")->state, STATE_NORMAL);
  EXPECT_EQ(Find("S:\\B\\", "x.txt")->state, STATE_IGNORE | STATE_NAME_CLASH);
  ASSERT_EQ(plan_.findings.size(), 1u);
  EXPECT_EQ(plan_.findings[0].kind, TOLVEX_REPORT_NAME_CLASH);
  EXPECT_EQ(plan_.findings[0].path, "S:\\B\\x.txt");
}

// A file met twice (two include patterns, a folder selected twice) clashes
// with nobody; a file of the same name elsewhere does, letter case aside.
TEST_F(TreeScan, FlatModeTellsOneFileMetTwiceFromTwoFilesOfOneName) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  drives_.WriteFile("S:\\A\\x.txt", "a", kNew);
  drives_.WriteFile("S:\\B\\X.TXT", "b", kOld);
  job_.PathMode = 0;
  job_.DInclSels = Entries({"S:\\A\\", "S:\\A\\*"});
  job_.FInclSels = Entries({"*.*", "*.txt"});
  ScanTrees(job_, plan_, nullptr);
  // Two entries of S:\A\ are one folder; two patterns meet its file twice.
  ASSERT_EQ(plan_.candidates.size(), 2u);
  for (const CANDIDATE& c : plan_.candidates) EXPECT_EQ(c.state, STATE_NORMAL);
  EXPECT_TRUE(plan_.findings.empty());

  Reset();
  job_.PathMode = 0;
  job_.DInclSels = Entries({"S:\\A\\", "S:\\B\\"});
  job_.FInclSels = Entries({"*.*", "*.txt"});
  ScanTrees(job_, plan_, nullptr);
  ASSERT_EQ(plan_.candidates.size(), 4u);
  for (const CANDIDATE& c : plan_.candidates) {
    const bool newest = plan_.dirList[c.dirIndex].text() == "S:\\A\\";
    EXPECT_EQ(c.state, newest ? STATE_NORMAL : STATE_IGNORE | STATE_NAME_CLASH);
  }
  ASSERT_EQ(plan_.findings.size(), 1u);
  EXPECT_EQ(plan_.findings[0].path, "S:\\B\\X.TXT");
}

// Both ways with erase, orphans of one name that the stamps would erase are
// judged again as new work when the sync state knows nothing of them: then
// they all write the one destination file, and only the newest may go.
TEST_F(TreeScan, FlatModeTwoWayOrphansJudgedNewClashAsCopies) {
  const struct {
    const char* what;
    SyncEvidence evidence;
  } cases[] = {
      {"a working folder the job has no list for", SyncEvidence::kNewFolder},
      {"a list that does not hold them", SyncEvidence::kList},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    drives_.WriteFile("S:\\A\\x.txt", "from a", kOld);
    drives_.WriteFile("S:\\B\\x.txt", "from b!", kOld);
    job_.PathMode = 0;
    job_.TouchMode = TOLVEX_TOUCH_BOTH_WAYS;
    job_.OrphanModeB = TOLVEX_ORPHAN_ERASE;
    job_.LastUpdate = kNew;
    job_.DInclSels = Entries({"S:\\A\\", "S:\\B\\"});
    plan_.syncRun.evidence = c.evidence;
    ScanTrees(job_, plan_, nullptr);
    ASSERT_EQ(plan_.candidates.size(), 2u);
    EXPECT_EQ(Find("S:\\A\\", "x.txt")->state, STATE_NORMAL | STATE_NEW_WORK);
    EXPECT_EQ(Find("S:\\B\\", "x.txt")->state, STATE_IGNORE | STATE_NEW_WORK | STATE_NAME_CLASH);
    ASSERT_EQ(plan_.findings.size(), 1u);
    EXPECT_EQ(plan_.findings[0].kind, TOLVEX_REPORT_NAME_CLASH);
    EXPECT_EQ(plan_.findings[0].path, "S:\\B\\x.txt");
  }
}

TEST_F(TreeScan, CounterpartsAreFoundWhateverTheirLetterCase) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  drives_.WriteFile("S:\\Data\\Report.TXT", "new", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\report.txt", "old!", kOld);
  job_.PathMode = 1;
  job_.OrphanModeD2 = 1;
  job_.DInclSels = Entries({"S:\\Data\\"});
  ScanTrees(job_, plan_, nullptr);
  // The source file is newer; the destination file, judged from its side in
  // touch mode 0, yields nothing.
  ASSERT_EQ(plan_.candidates.size(), 1u);
  EXPECT_EQ(plan_.candidates[0].name, "Report");
  EXPECT_EQ(plan_.candidates[0].counterSize, 4u);
  EXPECT_EQ(plan_.candidates[0].counterStamp, kOld);
}

// --- Which files are examined ----------------------------------------------------

TEST_F(TreeScan, TheAttributeMaskFiltersScannedFiles) {
  drives_.WriteFile("S:\\Data\\plain.txt", "p");
  drives_.WriteFile("S:\\Data\\.secret.txt", "s");
  MakeHidden("S:\\Data\\.secret.txt");
  struct Case {
    uint8_t mask;
    std::vector<std::string> found;
  } cases[] = {
      {0x00, {"S:\\Data\\|plain|.txt"}},
      {0x01, {"S:\\Data\\|plain|.txt"}},
      {0x04, {"S:\\Data\\|plain|.txt"}},
      {0x02, {"S:\\Data\\|.secret|.txt", "S:\\Data\\|plain|.txt"}},
      {0x27, {"S:\\Data\\|.secret|.txt", "S:\\Data\\|plain|.txt"}},
  };
  for (const Case& c : cases) {
    Reset();
    job_.DInclSels = Entries({"S:\\Data\\"});
    job_.Attributes = c.mask;
    ScanTrees(job_, plan_, nullptr);
    EXPECT_EQ(CandidateKeys(), c.found) << "mask " << int{c.mask};
  }
}

TEST_F(TreeScan, ACounterpartTheMaskHidesIsMissing) {
  drives_.WriteFile("S:\\Data\\n.txt", "new", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\n.txt", "old", kOld);
  MakeHidden("T:\\Backup\\Data\\n.txt");
  uint32_t source = 0;
  uint32_t counterpart = 0;
  ASSERT_EQ(Sys().GetAttributes("S:\\Data\\n.txt", &source), kErrOk);
  ASSERT_EQ(Sys().GetAttributes("T:\\Backup\\Data\\n.txt", &counterpart), kErrOk);
  if ((source & kAttrHidden) != 0 || (counterpart & kAttrHidden) == 0) {
    GTEST_SKIP() << "this platform derives hiding from the name alone";
  }
  job_.PathMode = 1;
  job_.DInclSels = Entries({"S:\\Data\\"});
  for (const uint8_t mask : {uint8_t{0x00}, uint8_t{0x02}}) {
    Reset();
    job_.PathMode = 1;
    job_.DInclSels = Entries({"S:\\Data\\"});
    job_.Attributes = mask;
    ScanTrees(job_, plan_, nullptr);
    const CANDIDATE* n = Find("S:\\Data\\", "n.txt");
    ASSERT_NE(n, nullptr) << "mask " << int{mask};
    EXPECT_EQ(n->counterSize, mask == 0 ? 0u : 3u) << "mask " << int{mask};
    EXPECT_EQ(n->counterStamp, mask == 0 ? 0u : kOld) << "mask " << int{mask};
  }
}

TEST_F(TreeScan, HiddenCounterpartsOfHiddenFilesNeedTheHiddenBitToo) {
  // Natively a leading dot hides a file on both sides alike.
  drives_.WriteFile("S:\\Data\\.n.txt", "new", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\.n.txt", "old", kOld);
  MakeHidden("S:\\Data\\.n.txt");
  MakeHidden("T:\\Backup\\Data\\.n.txt");
  job_.PathMode = 1;
  job_.DInclSels = Entries({"S:\\Data\\"});
  job_.Attributes = 0x02;
  ScanTrees(job_, plan_, nullptr);
  const CANDIDATE* n = Find("S:\\Data\\", ".n.txt");
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->counterStamp, kOld);
  EXPECT_NE(n->counterAttributes & kAttrHidden, 0u);
}

TEST_F(TreeScan, FoldersAreNeverExaminedAsFiles) {
  drives_.WriteFile("S:\\Data\\f.txt", "f", kMid);
  drives_.MakeDirs("S:\\Data\\Sub\\");
  drives_.MakeDirs("S:\\Data\\.git\\");
  MakeHidden("S:\\Data\\.git");
  drives_.WriteFile("S:\\Data\\Same", "a file here", kMid);
  drives_.MakeDirs("T:\\Backup\\Data\\Same\\");
  for (const uint8_t mask : {uint8_t{0x02}, uint8_t{0x08}, uint8_t{0x10}, uint8_t{0x1F}}) {
    Reset();
    job_.PathMode = 1;
    job_.DInclSels = Entries({"S:\\Data\\"});
    job_.Attributes = mask;
    ScanTrees(job_, plan_, nullptr);
    EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\|Same|", "S:\\Data\\|f|.txt"}))
        << "mask " << int{mask};
    // A folder of the same name is no counterpart: the file is an orphan.
    const CANDIDATE* same = Find("S:\\Data\\", "Same");
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->counterSize, 0u);
    EXPECT_EQ(same->counterAttributes, 0u);
  }
}

TEST_F(TreeScan, FilesOlderThanTheLeastDateYieldNothing) {
  drives_.WriteFile("S:\\Data\\old.txt", "o", kOld);
  drives_.WriteFile("S:\\Data\\edge.txt", "e", kMid);
  drives_.WriteFile("S:\\Data\\new.txt", "n", kNew);
  job_.DInclSels = Entries({"S:\\Data\\"});
  job_.LeastDate = kMid;
  ScanTrees(job_, plan_, nullptr);
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\|edge|.txt", "S:\\Data\\|new|.txt"}));
}

TEST_F(TreeScan, FilePatternsIncludeAndExcludeByName) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  for (const char* name : {"a.txt", "a.tmp", "b.txt", "b.tmp"}) {
    drives_.WriteFile(std::string("S:\\Data\\") + name, name, kMid);
  }
  struct Case {
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    std::vector<std::string> examined;  // name.ext, sorted
  } cases[] = {
      {{"*.*"}, {}, {"a.tmp", "a.txt", "b.tmp", "b.txt"}},
      {{"a.*"}, {"*.tmp"}, {"a.txt"}},
      {{"*.*"}, {"*.tmp", "b.*"}, {"a.txt"}},
      {{"*.txt"}, {"*.*"}, {}},
      {{"*.*"}, {"A.TXT"}, {"a.tmp", "b.tmp", "b.txt"}},
      {{"*.tmp", "a.*"}, {}, {"a.tmp", "a.tmp", "a.txt", "b.tmp"}},
      {{"*.doc"}, {}, {}},
  };
  for (const Case& c : cases) {
    Reset();
    job_.DInclSels = Entries({"S:\\Data\\"});
    job_.FInclSels = Entries(c.includes);
    job_.FExclSels = Entries(c.excludes);
    ScanTrees(job_, plan_, nullptr);
    std::vector<std::string> examined;
    for (const CANDIDATE& candidate : plan_.candidates)
      examined.push_back(candidate.name + candidate.extension);
    std::sort(examined.begin(), examined.end());
    EXPECT_EQ(examined, c.examined) << c.includes[0] << " without "
                                    << (c.excludes.empty() ? "-" : c.excludes[0]);
  }
}

// A pattern is a name pattern: one with a separator would enumerate another
// folder, and its names would be taken for files of this one. Here
// "..\\x.txt" in S:\\Data\\Sub\\ would find the newer S:\\Data\\x.txt and plan
// to copy the older Sub\\x.txt over its newer backup.
TEST_F(TreeScan, FilePatternsWithASeparatorMatchNothing) {
  drives_.WriteFile("S:\\Data\\x.txt", "newest", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\x.txt", "old", kOld);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\x.txt", "middle", kMid);
  drives_.WriteFile("S:\\Data\\Sub\\y.doc", "y", kMid);
  job_.PathMode = 1;
  job_.DInclSels = Entries({"S:\\Data\\Sub\\"});
  job_.FInclSels = Entries({"..\\x.txt", "../*.*", "S:x.txt", "*.doc"});
  job_.FExclSels = Entries({"..\\Sub\\y.doc"});
  ScanTrees(job_, plan_, nullptr);
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\Sub\\|y|.doc"}));
}

TEST_F(TreeScan, CandidatesComePatternByPatternWithinAFolder) {
  drives_.WriteFile("S:\\Data\\r.doc", "r", kMid);
  drives_.WriteFile("S:\\Data\\n.txt", "n", kMid);
  drives_.WriteFile("S:\\Data\\Sub\\s.doc", "s", kMid);
  job_.DInclSels = Entries({"S:\\Data\\*"});
  job_.FInclSels = Entries({"*.*", "*.doc"});
  ScanTrees(job_, plan_, nullptr);
  ASSERT_EQ(plan_.candidates.size(), 5u);
  // The first folder's two patterns, then the second folder's.
  EXPECT_EQ(plan_.candidates[2].name + plan_.candidates[2].extension, "r.doc");
  EXPECT_EQ(plan_.candidates[2].dirIndex, 0);
  EXPECT_EQ(plan_.candidates[3].name + plan_.candidates[3].extension, "s.doc");
  EXPECT_EQ(plan_.candidates[4].name + plan_.candidates[4].extension, "s.doc");
  EXPECT_EQ(plan_.candidates[4].dirIndex, 1);
}

TEST_F(TreeScan, NamesSplitAtTheLastDot) {
  drives_.WriteFile("S:\\Data\\archive.tar.gz", "x");
  drives_.WriteFile("S:\\Data\\README", "x");
  drives_.WriteFile("S:\\Data\\a.b", "x");
  drives_.WriteFile("S:\\Data\\.profile", "x");
  MakeHidden("S:\\Data\\.profile");
  job_.DInclSels = Entries({"S:\\Data\\"});
  job_.Attributes = 0x02;
  ScanTrees(job_, plan_, nullptr);
  std::vector<std::string> split;
  for (const CANDIDATE& c : plan_.candidates)
    split.push_back("[" + c.name + "][" + c.extension + "]");
  std::sort(split.begin(), split.end());
  EXPECT_EQ(split, (std::vector<std::string>{"[README][]", "[][.profile]", "[a][.b]", "[archive.tar][.gz]"}));
}

// --- Progress and abort --------------------------------------------------------------

TEST_F(TreeScan, ShowsEachPhaseWithItsStatusAndGauge) {
  drives_.WriteFile("S:\\Data\\Sub\\f.txt", "f");
  job_.DInclSels = Entries({"S:\\Data\\*"});
  RecordingProgress progress;
  ScanTrees(job_, plan_, &progress);
  const std::vector<std::string>& calls = progress.calls;
  ASSERT_GE(calls.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
            (std::vector<std::string>{"status Searching for subdirectories...", "range 0 300", "position 0"}));
  const std::vector<std::string> file_phase = {"status Searching for files...", "range 0 2", "position 0",
                                               "position 1", "position 2"};
  EXPECT_EQ(std::vector<std::string>(calls.end() - 5, calls.end()), file_phase);
  // In between only the expansion moves the gauge, up to full.
  EXPECT_EQ(calls[calls.size() - 6], "position 300");
  for (size_t i = 3; i < calls.size() - 5; ++i) EXPECT_EQ(calls[i].rfind("position ", 0), 0u) << calls[i];
}

TEST_F(TreeScan, AbortEndsEitherPhaseAtItsNextTest) {
  drives_.WriteFile("S:\\Data\\a.txt", "a", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\b.txt", "b", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\Deep\\c.txt", "c", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\d.txt", "d", kNew);
  auto configure = [this] {
    Reset();
    job_.PathMode = 1;
    job_.OrphanModeD2 = 1;
    job_.DInclSels = Entries({"S:\\Data\\*"});
    job_.DExclSels = Entries({"S:\\Data\\Other\\*"});
    job_.FExclSels = Entries({"*.tmp"});
  };
  configure();
  PumpCounter counter(plan_.Aborted);
  SetSys(&counter);
  ScanTrees(job_, plan_, nullptr);
  SetSys(nullptr);
  const size_t full_candidates = plan_.candidates.size();
  ASSERT_EQ(full_candidates, 4u);
  ASSERT_FALSE(plan_.Aborted);

  bool saw_folder_phase_abort = false;
  bool saw_file_phase_abort = false;
  for (int n = 1; n <= counter.pumps; ++n) {
    configure();
    PumpCounter abort_at(plan_.Aborted, n);
    SetSys(&abort_at);
    RecordingProgress progress;
    ScanTrees(job_, plan_, &progress);
    SetSys(nullptr);
    ASSERT_TRUE(plan_.Aborted) << n;
    const bool reached_files =
        std::find(progress.calls.begin(), progress.calls.end(), "status Searching for files...") !=
        progress.calls.end();
    if (!reached_files) {
      saw_folder_phase_abort = true;
      EXPECT_TRUE(plan_.candidates.empty()) << n;
      EXPECT_TRUE(plan_.counterpartList.empty()) << n;
      // The expansion may finish the entry whose pump step aborted.
      EXPECT_LE(abort_at.finds_after_abort, 1) << n;
    } else {
      saw_file_phase_abort = true;
      EXPECT_EQ(abort_at.finds_after_abort, 0) << n;
      EXPECT_TRUE(std::is_sorted(plan_.dirList.begin(), plan_.dirList.end())) << n;
      EXPECT_LT(plan_.counterpartList.size(), plan_.dirList.size() + 1) << n;
      EXPECT_LT(plan_.candidates.size(), full_candidates) << n;
      for (const CANDIDATE& c : plan_.candidates) {
        EXPECT_LT(static_cast<size_t>(c.dirIndex), plan_.counterpartList.size()) << n;
      }
    }
  }
  EXPECT_TRUE(saw_folder_phase_abort);
  EXPECT_TRUE(saw_file_phase_abort);
}

// Records every enumeration the scan asks for.
class EnumerationLog final : public PlatformWrapper {
 public:
  EnumerationLog() : PlatformWrapper(&DefaultPlatform()) {}
  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    ++calls[pattern];
    return PlatformWrapper::FindEntries(pattern, mask, entries, unusable);
  }
  std::map<std::string, int> calls;
};

TEST_F(TreeScan, ReadsEachFolderOnceAndLooksUpNoCounterpartOnItsOwn) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  drives_.WriteFile("S:\\Data\\a.txt", "a", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\b.txt", "b", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\B2.txt", "b2", kNew);
  drives_.WriteFile("S:\\Data\\Sub\\Deep\\c.txt", "c", kNew);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\b.txt", "old", kOld);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\b2.TXT", "old", kOld);
  drives_.WriteFile("T:\\Backup\\Data\\Sub\\d.txt", "d", kOld);
  job_.PathMode = 1;
  job_.OrphanModeD2 = 1;
  job_.DInclSels = Entries({"S:\\Data\\*"});
  job_.FExclSels = Entries({"*.tmp"});
  EnumerationLog log;
  SetSys(&log);
  ScanTrees(job_, plan_, nullptr);
  SetSys(nullptr);
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\Sub\\Deep\\|c|.txt", "S:\\Data\\Sub\\|B2|.txt",
                                                       "S:\\Data\\Sub\\|b|.txt", "S:\\Data\\|a|.txt",
                                                       "T:\\Backup\\Data\\Sub\\|d|.txt"}));
  // One listing per folder of either tree (the missing Deep folder of T:
  // included), and the exclude pattern once per visited folder; each name
  // of the twin below the destination root is looked at once (how it is
  // stored, and whether it is a link).
  const std::map<std::string, int> expected = {
      {"T:\\Backup\\Data", 1},
      {"S:\\Data\\*.*", 1},          {"S:\\Data\\*.tmp", 1},
      {"S:\\Data\\Sub\\*.*", 1},      {"S:\\Data\\Sub\\*.tmp", 1},
      {"S:\\Data\\Sub\\Deep\\*.*", 1}, {"S:\\Data\\Sub\\Deep\\*.tmp", 1},
      {"T:\\Backup\\Data\\*.*", 1},   {"T:\\Backup\\Data\\*.tmp", 1},
      {"T:\\Backup\\Data\\Sub\\*.*", 1}, {"T:\\Backup\\Data\\Sub\\*.tmp", 1},
      {"T:\\Backup\\Data\\Sub\\Deep\\*.*", 1},
  };
  EXPECT_EQ(log.calls, expected);
}

// --- Names the Windows namespace cannot hold ------------------------------------------

TEST_F(TreeScan, ReportsUnusableNamesOfVisitedFoldersOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows cannot create such names";
#else
  drives_.WriteFile("S:\\Data\\good.txt", "g");
  drives_.MakeDirs("S:\\Data\\Temp\\");
  const std::filesystem::path data = drives_.Native("S:\\Data");
  // A source that holds only Windows names (a FAT disk): elsewhere such
  // names travel mapped (platform/posix/host_names.h).
  const ScopedTestVolumes fat("windows-names=" + data.string());
  std::ofstream(data / "bad:name.txt") << "x";
  std::filesystem::create_directory(data / "bad|dir");
  std::ofstream(data / "bad|dir" / "inside.txt") << "x";
  std::ofstream(data / "Temp" / "ex?cluded.txt") << "x";
  job_.DInclSels = Entries({"S:\\Data\\*"});
  job_.DExclSels = Entries({"S:\\Data\\Temp\\"});
  ScanTrees(job_, plan_, nullptr);
  EXPECT_EQ(CandidateKeys(), (std::vector<std::string>{"S:\\Data\\|good|.txt"}));
  std::vector<std::string> names;
  for (const FINDING& finding : plan_.findings) {
    EXPECT_EQ(finding.kind, TOLVEX_REPORT_UNUSABLE_NAME) << finding.path;
    names.push_back(std::filesystem::path(finding.path).filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bad:name.txt", "bad|dir"}));
#endif
}

}  // namespace
}  // namespace tolvex
