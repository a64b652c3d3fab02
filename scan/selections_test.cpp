#include "scan/selections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/plan.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

std::vector<STRING> Entries(const std::vector<std::string>& texts, uint8_t mark = 0) {
  std::vector<STRING> list;
  for (const std::string& text : texts) list.emplace_back(text, mark);
  return list;
}

// The Aborted flag of a run nobody stops.
const bool kNotAborted = false;

std::vector<std::string> Texts(const std::vector<STRING>& list) {
  std::vector<std::string> texts;
  for (const STRING& entry : list) texts.push_back(entry.text());
  return texts;
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

// Records the gauge positions in the order they were set.
class RecordingGauge final : public SearchProgressView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetGaugeRange(int, int) override {}
  void SetGaugePosition(int position) override { positions.push_back(position); }
  void SetWaitCursor(bool) override {}
  std::vector<int> positions;
};

// Sets the run's Aborted flag inside the n-th pump step, as the Cancel
// button would.
class AbortAtPump final : public PlatformWrapper {
 public:
  AbortAtPump(int n, bool& aborted)
      : PlatformWrapper(&DefaultPlatform()), aborted_(aborted), abort_at_(n) {}
  bool TakeOneMessage() override {
    if (++calls_ == abort_at_) aborted_ = true;
    return false;
  }

 private:
  bool& aborted_;
  int abort_at_;
  int calls_ = 0;
};

class ScopedSys {
 public:
  explicit ScopedSys(Platform* platform) { SetSys(platform); }
  ~ScopedSys() { SetSys(nullptr); }
};

// --- Path texts --------------------------------------------------------

TEST(PathTextTest, CommonPrefixLengthCountsEqualLeadingBytesWithCase) {
  struct Case {
    const char* a;
    const char* b;
    size_t expected;
  } cases[] = {
      {"C:\\Data\\Apple\\", "C:\\Data\\Apricot\\", 10},
      {"C:\\Data\\", "C:\\Data\\Sub\\", 8},
      {"C:\\Data\\", "c:\\Data\\", 0},
      {"C:\\Data\\", "C:\\data\\", 3},
      {"", "C:\\", 0},
      {"same", "same", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommonPrefixLength(c.a, c.b), c.expected) << c.a << " / " << c.b;
    EXPECT_EQ(CommonPrefixLength(c.b, c.a), c.expected) << c.b << " / " << c.a;
  }
}

TEST(PathTextTest, StripPrefixRemovesOnlyAWholeLeadingPrefix) {
  struct Case {
    const char* text;
    const char* prefix;
    const char* expected;
  } cases[] = {
      {"C:\\Data\\Letters\\", "C:\\Data\\", "Letters\\"},
      {"C:\\Data\\", "C:\\Data\\", ""},
      {"C:\\Dat\\", "C:\\Data\\", "C:\\Dat\\"},
      {"C:\\data\\x\\", "C:\\Data\\", "C:\\data\\x\\"},
      {"C:\\Data\\", "", "C:\\Data\\"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    StripPrefix(&text, c.prefix);
    EXPECT_EQ(text, c.expected) << c.text << " - " << c.prefix;
  }
}

TEST(PathTextTest, DirectoryEntriesAreDriveFormFoldersWithAClosingBackslash) {
  for (const char* good : {"C:\\", "C:\\*", "c:\\Data\\", "C:\\Data\\*", "Z:\\a b\\c\\"}) {
    EXPECT_TRUE(IsDirectoryEntry(good)) << good;
  }
  for (const char* bad : {"", "C:", "C:\\Data", "C:\\Data*", "Data\\", "\\\\server\\share\\",
                          "1:\\x\\", "C:Data\\"}) {
    EXPECT_FALSE(IsDirectoryEntry(bad)) << bad;
  }
  // "." and ".." (between backslashes or slashes, which the platform takes
  // as separators too) would carry a twin or a counterpart out of the
  // folder it is built in: "C:\..\" in full path mode pairs with the
  // folder above the destination.
  for (const char* climbing : {"C:\\..\\", "C:\\Data\\..\\*", "C:\\Data\\.\\", "C:\\Data/..\\",
                               "C:\\../Data\\*"}) {
    EXPECT_FALSE(IsDirectoryEntry(climbing)) << climbing;
  }
  for (const char* dotted : {"C:\\...\\", "C:\\a..b\\", "C:\\.hidden\\*", "C:\\Data\\..x\\"}) {
    EXPECT_TRUE(IsDirectoryEntry(dotted)) << dotted;
  }
}

TEST(CommonRootTest, IsTheCommonLeadingFolderOfTheIncludes) {
  struct Case {
    std::vector<std::string> includes;
    const char* expected;
  } cases[] = {
      {{}, ""},
      {{"C:\\Data\\*"}, "C:\\Data\\"},
      {{"C:\\Data\\Letters\\"}, "C:\\Data\\Letters\\"},
      {{"C:\\*"}, "C:\\"},
      {{"C:\\Data\\Apple\\*", "C:\\Data\\Apricot\\"}, "C:\\Data\\"},
      {{"C:\\Data\\A\\", "C:\\Data\\B\\", "C:\\Docs\\"}, "C:\\"},
      {{"C:\\Data\\Sub\\", "C:\\Data\\"}, "C:\\Data\\"},
      {{"C:\\Data\\", "D:\\Data\\"}, ""},
      // Letter case counts.
      {{"C:\\Data\\A\\", "C:\\data\\B\\"}, "C:\\"},
      // Entries that are not directory entries are never scanned and do not
      // move the root of the others, nor make one of their own.
      {{"C:\\Data\\A\\*", "C:\\Data\\B\\*", "C:\\Dat"}, "C:\\Data\\"},
      {{"junk", "C:\\Data\\*"}, "C:\\Data\\"},
      {{std::string("\0.", 2)}, ""},
      {{"C:\\Data"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeCommonRoot(Entries(c.includes), kNotAborted), c.expected)
        << (c.includes.empty() ? "(none)" : c.includes[0]);
  }
}

// --- Destination twins and counterparts ----------------------------------

// A job and the plan of its run, up to the scan.
struct Job {
  TParameters parameters;
  Plan plan;
};

Job Destination(int32_t path_mode, const char* common_root = "") {
  Job job;
  job.parameters.PathMode = path_mode;
  job.plan.DestinationRoot = "E:\\Backup\\";
  job.plan.CommonRoot = common_root;
  job.plan.SourceDrive = 'C';
  return job;
}

TEST(DestinationTwinTest, TwinsFollowTheEntriesWithMarkOne) {
  struct Case {
    int32_t path_mode;
    const char* common_root;
    std::vector<std::string> entries;
    std::vector<std::string> twins;
  } cases[] = {
      {1, "", {"C:\\Data\\*", "C:\\Data\\Letters\\"}, {"E:\\Backup\\Data\\*", "E:\\Backup\\Data\\Letters\\"}},
      {1, "", {"C:\\*", "D:\\Music\\"}, {"E:\\Backup\\*", "E:\\Backup\\Music\\"}},
      {2, "C:\\Data\\", {"C:\\Data\\Letters\\*", "C:\\Data\\"}, {"E:\\Backup\\Letters\\*", "E:\\Backup\\"}},
      // Not a folder path in drive form: no twin (it could only map to a
      // wrong place, and the entry itself is dropped as missing).
      {1, "", {"C:\\Data", "Data\\", "C:\\Ok\\"}, {"E:\\Backup\\Ok\\"}},
  };
  for (const Case& c : cases) {
    std::vector<STRING> list = Entries(c.entries);
    const Job job = Destination(c.path_mode, c.common_root);
    AddDestinationCounterparts(job.parameters, job.plan, &list);
    std::vector<std::string> expected = c.entries;
    expected.insert(expected.end(), c.twins.begin(), c.twins.end());
    EXPECT_EQ(Texts(list), expected) << "path mode " << c.path_mode;
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list[i].mark(), i < c.entries.size() ? 0 : 1) << list[i].text();
    }
  }
}

TEST(CounterpartTest, MapsEachFolderToTheOtherSide) {
  struct Case {
    int32_t path_mode;
    const char* folder;
    uint8_t side;
    const char* expected;
  } cases[] = {
      {0, "C:\\Data\\Sub\\", 0, "E:\\Backup\\"},
      {0, "D:\\Other\\", 0, "E:\\Backup\\"},
      {1, "C:\\Data\\Sub\\", 0, "E:\\Backup\\Data\\Sub\\"},
      {1, "C:\\", 0, "E:\\Backup\\"},
      {1, "E:\\Backup\\Data\\Sub\\", 1, "C:\\Data\\Sub\\"},
      // A destination folder maps back onto the drive of the include whose
      // twin holds it (the includes are C:\Data\* and d:\Music\*)...
      {1, "D:\\Music\\", 0, "E:\\Backup\\Music\\"},
      {1, "E:\\Backup\\Music\\", 1, "D:\\Music\\"},
      {1, "E:\\Backup\\music\\Old\\", 1, "D:\\music\\Old\\"},
      // ... and a folder no twin holds has no counterpart.
      {1, "E:\\Backup\\Other\\", 1, ""},
      {2, "C:\\Data\\Letters\\", 0, "E:\\Backup\\Letters\\"},
      {2, "C:\\Data\\", 0, "E:\\Backup\\"},
      {2, "E:\\Backup\\Letters\\", 1, "C:\\Data\\Letters\\"},
      {2, "E:\\Backup\\", 1, "C:\\Data\\"},
      // No known mapping: no counterpart at all rather than a guess.
      {3, "C:\\Data\\", 0, ""},
      {-1, "E:\\Backup\\", 1, ""},
  };
  for (const Case& c : cases) {
    Job job = Destination(c.path_mode, "C:\\Data\\");
    job.parameters.DInclSels = Entries({"C:\\Data\\*", "d:\\Music\\*"});
    EXPECT_EQ(MapCounterpartDirectory(job.parameters, job.plan, c.folder, c.side), c.expected)
        << "mode " << c.path_mode << " " << c.folder;
  }
}

// --- Exclusion -------------------------------------------------------------

// Folders are matched as the file system names them: "c:\data\keep\" is
// the folder "C:\Data\Keep\".
TEST(ExclusionTest, RemovesMatchesOfEitherSideInAnyLetterCase) {
  std::vector<STRING> includes = Entries({"C:\\Data\\", "C:\\Data\\Temp\\", "C:\\Data\\Temp\\Old\\",
                                          "C:\\Data\\Temp\\", "C:\\Data\\Keep\\"});
  includes.emplace_back("E:\\Backup\\Data\\Temp\\", 1);
  const std::vector<STRING> excludes =
      Entries({"C:\\Data\\Temp\\", "c:\\data\\keep\\", "E:\\Backup\\Data\\Temp\\"});
  RemoveExcludedDirectories(kNotAborted, &includes, excludes);
  EXPECT_EQ(Texts(includes), (std::vector<std::string>{"C:\\Data\\", "C:\\Data\\Temp\\Old\\"}));
}

TEST(ExclusionTest, NoExcludesKeepEverything) {
  std::vector<STRING> includes = Entries({"C:\\A\\", "C:\\A\\"});
  RemoveExcludedDirectories(kNotAborted, &includes, {});
  EXPECT_EQ(includes.size(), 2u);
}

// --- On real folders ---------------------------------------------------------

class SelectionFolders : public ::testing::Test {
 protected:
  void SetUp() override { Sys().ReloadDrives(); }

  void MakeHidden(const std::string& path) {
    ASSERT_EQ(Sys().SetAttributes(path, kAttrHidden), kErrOk) << path;
  }

  TestDrives drives_{"ST"};
};

TEST_F(SelectionFolders, DropsMissingFoldersFilesAndAbsentDrivesSilently) {
  drives_.MakeDirs("S:\\Data\\Sub\\");
  drives_.WriteFile("S:\\Data\\file.txt", "x");
  std::vector<STRING> list = Entries({"S:\\Data\\", "S:\\Missing\\", "S:\\Data\\file.txt\\",
                                      "S:\\*", "Q:\\Data\\", "S:\\Data\\Sub\\*", "S:\\",
                                      "S:\\Data", "S:\\Missing\\*"});
  list.emplace_back("T:\\", 1);
  DropMissingDirectories(kNotAborted, &list);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"S:\\Data\\", "S:\\*", "S:\\Data\\Sub\\*",
                                                   "S:\\", "T:\\"}));
  EXPECT_EQ(list.back().mark(), 1);
}

TEST_F(SelectionFolders, ExpandDirectoryAppendsEverySubfolderWithTheMark) {
  drives_.MakeDirs("S:\\Data\\Letters\\Old\\");
  drives_.MakeDirs("S:\\Data\\Music\\");
  drives_.MakeDirs("S:\\Data\\.cache\\");
  MakeHidden("S:\\Data\\.cache");
  drives_.WriteFile("S:\\Data\\notes.txt", "x");
  drives_.WriteFile("S:\\Data\\.hidden.txt", "x");
  std::vector<STRING> list = Entries({"S:\\Data\\"});
  EXPECT_EQ(ExpandDirectory("S:\\Data\\", &list, 1), 3);
  ASSERT_EQ(list.size(), 4u);
  const std::vector<std::string> texts = Texts(list);
  const std::vector<std::string> added(texts.begin() + 1, texts.end());
  EXPECT_EQ(Sorted(added), (std::vector<std::string>{"S:\\Data\\.cache\\*", "S:\\Data\\Letters\\*",
                                                     "S:\\Data\\Music\\*"}));
  for (size_t i = 1; i < list.size(); ++i) EXPECT_EQ(list[i].mark(), 1);
  EXPECT_EQ(ExpandDirectory("S:\\Data\\Music\\", &list, 0), 0);
  EXPECT_EQ(ExpandDirectory("S:\\Missing\\", &list, 0), 0);
  EXPECT_EQ(list.size(), 4u);
}

TEST_F(SelectionFolders, ExpandSelectionsWalksBreadthFirstAndKeepsPlainEntries) {
  drives_.MakeDirs("S:\\A\\A1\\A1x\\");
  drives_.MakeDirs("S:\\A\\A2\\");
  drives_.MakeDirs("S:\\B\\B1\\");
  std::vector<STRING> list = Entries({"S:\\A\\*", "S:\\B\\"});
  list.emplace_back("T:\\*", 1);
  drives_.MakeDirs("T:\\X\\");
  ExpandSelections(kNotAborted, &list, nullptr);
  const std::vector<std::string> texts = Texts(list);
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 3),
            (std::vector<std::string>{"S:\\A\\", "S:\\B\\", "T:\\"}));
  // The second level, in enumeration order, then the third.
  EXPECT_EQ(Sorted(std::vector<std::string>(texts.begin() + 3, texts.begin() + 6)),
            (std::vector<std::string>{"S:\\A\\A1\\", "S:\\A\\A2\\", "T:\\X\\"}));
  EXPECT_EQ(texts[6], "S:\\A\\A1\\A1x\\");
  for (const STRING& entry : list) {
    EXPECT_EQ(entry.mark(), entry.text()[0] == 'T' ? 1 : 0) << entry.text();
  }
}

// Passes: {A*, B} -> A1, A2 found; {.., A1*, A2*} -> A1x found; then nothing.
TEST_F(SelectionFolders, ExpandSelectionsMovesTheGaugePassByPassThenFillsIt) {
  drives_.MakeDirs("S:\\A\\A1\\A1x\\");
  drives_.MakeDirs("S:\\A\\A2\\");
  drives_.MakeDirs("S:\\B\\");
  std::vector<STRING> list = Entries({"S:\\A\\*", "S:\\B\\"});
  RecordingGauge gauge;
  ExpandSelections(kNotAborted, &list, &gauge);
  // MulDiv(i + 1, 30, n) + 30 * pass for n = 2, 4 and 5.
  std::vector<int> expected = {15, 30, 38, 45, 53, 60, 66, 72, 78, 84, 90};
  for (int p = 91; p <= 300; ++p) expected.push_back(p);
  EXPECT_EQ(gauge.positions, expected);
}

TEST_F(SelectionFolders, ExpandSelectionsBeyondTenPassesLeavesTheGaugePastFull) {
  std::string deep = "S:\\D\\";
  for (int level = 1; level <= 11; ++level) deep += std::to_string(level) + "\\";
  drives_.MakeDirs(deep);
  std::vector<STRING> list = Entries({"S:\\D\\*"});
  RecordingGauge gauge;
  ExpandSelections(kNotAborted, &list, &gauge);
  EXPECT_EQ(list.size(), 12u);
  EXPECT_EQ(list.back().text(), deep);
  ASSERT_FALSE(gauge.positions.empty());
  // Twelve passes: the last ends at 30 * 12; no fill follows.
  EXPECT_EQ(gauge.positions.back(), 360);
  EXPECT_TRUE(std::is_sorted(gauge.positions.begin(), gauge.positions.end()));
}

TEST_F(SelectionFolders, ExpandingAnEmptyListStillFillsTheGauge) {
  std::vector<STRING> list;
  RecordingGauge gauge;
  ExpandSelections(kNotAborted, &list, &gauge);
  ASSERT_EQ(gauge.positions.size(), 270u);
  EXPECT_EQ(gauge.positions.front(), 31);
  EXPECT_EQ(gauge.positions.back(), 300);
}

TEST_F(SelectionFolders, AbortStopsEveryListOperationPartWay) {
  drives_.MakeDirs("S:\\A\\A1\\");
  drives_.MakeDirs("S:\\B\\B1\\");
  drives_.MakeDirs("S:\\C\\C1\\");
  {
    // Aborted in the pump step of the second entry: that entry is still
    // expanded (the flag is tested before each entry), the third keeps its
    // star, and the gauge is not filled.
    bool aborted = false;
    AbortAtPump abort_at(2, aborted);
    ScopedSys sys(&abort_at);
    std::vector<STRING> list = Entries({"S:\\A\\*", "S:\\B\\*", "S:\\C\\*"});
    RecordingGauge gauge;
    ExpandSelections(aborted, &list, &gauge);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"S:\\A\\", "S:\\B\\", "S:\\C\\*",
                                                     "S:\\A\\A1\\*", "S:\\B\\B1\\*"}));
    EXPECT_EQ(gauge.positions, (std::vector<int>{10, 20}));
  }
  {
    // Dropping works from the last entry up and stops at the abort.
    bool aborted = false;
    AbortAtPump abort_at(2, aborted);
    ScopedSys sys(&abort_at);
    std::vector<STRING> list = Entries({"S:\\Gone1\\", "S:\\Gone2\\", "S:\\Gone3\\"});
    DropMissingDirectories(aborted, &list);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"S:\\Gone1\\", "S:\\Gone2\\"}));
  }
  {
    bool aborted = false;
    AbortAtPump abort_at(1, aborted);
    ScopedSys sys(&abort_at);
    std::vector<STRING> list = Entries({"S:\\A\\", "S:\\B\\"});
    RemoveExcludedDirectories(aborted, &list, Entries({"S:\\A\\", "S:\\B\\"}));
    EXPECT_EQ(list.size(), 2u);
  }
  {
    Job job = Destination(1);
    AbortAtPump abort_at(1, job.plan.Aborted);
    ScopedSys sys(&abort_at);
    std::vector<STRING> list = Entries({"S:\\A\\", "S:\\B\\"});
    AddDestinationCounterparts(job.parameters, job.plan, &list);
    EXPECT_EQ(list.size(), 2u);
  }
}

}  // namespace
}  // namespace tolvex
