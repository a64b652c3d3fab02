// Mirrored empty folders (SetEmptyFolders) through the exports and CallUpdate
// on real trees: the folders of the selection that hold no file are made on
// the other side where the orphan mode copies, and removed where it erases
// (with Delete...Dirs), in the plan and in the run alike; exclusions and the
// attribute mask hold, a stopped run makes nothing, a repeated run plans
// nothing, and without the setting the run is as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class EmptyFolders : public RunTest {
 protected:
  // The folder items of a channel: "make folder ..." and "remove folder ...".
  static Lines FolderItems(const std::vector<ChannelItem>& items) {
    Lines folders;
    for (const ChannelItem& item : items) {
      if (item.kind == TOLVEX_ITEM_FOLDER_MADE || item.kind == TOLVEX_ITEM_FOLDER_REMOVED) {
        folders.push_back(item.Action());
      }
    }
    return folders;
  }

  // The copies and erasures among a channel's actions (the skips of ignored
  // orphans come in every plan).
  static Lines Changes(const std::vector<ChannelItem>& items) {
    Lines changes;
    for (const std::string& action : ChannelRecorder::Actions(items)) {
      if (action.rfind("skip ", 0) != 0) changes.push_back(action);
    }
    return changes;
  }

  // The plan of a dry run of the job, which must change nothing.
  Lines DryRunFolderItems() {
    const std::map<std::string, std::string> before = Snapshot();
    Channels() = ChannelRecorder();
    SetDryRun(TOLVEX_DRY_RUN_PLAN);
    Run();
    SetDryRun(TOLVEX_DRY_RUN_OFF);
    EXPECT_EQ(Snapshot(), before) << "the dry run changed the drives";
    return FolderItems(Channels().plan);
  }

  // A run with the channels: the folder items of its plan (checked against
  // its outcomes: what was planned was done) and of its outcomes.
  Lines RunFolderItems() {
    Channels() = ChannelRecorder();
    Recorder().madeFolders.clear();
    EXPECT_EQ(Run(), 1);
    const Lines planned = FolderItems(Channels().plan);
    EXPECT_EQ(FolderItems(Channels().outcomes), planned) << "the run did otherwise than planned";
    for (const ChannelItem& item : Channels().outcomes) {
      if (item.kind == TOLVEX_ITEM_FOLDER_MADE) {
        EXPECT_EQ(item.outcome, TOLVEX_OUTCOME_DONE) << item.from;
      }
    }
    return planned;
  }

  // A source tree with every kind of folder that holds no file.
  void WriteSourceTree() const {
    Write("S:\\Data\\a.txt", "a", kNew);
    Write("S:\\Data\\Full\\f.txt", "f", kNew);
    drives_.MakeDirs("S:\\Data\\Empty");
    drives_.MakeDirs("S:\\Data\\Deep\\Er\\Est");
    drives_.MakeDirs("S:\\Data\\Full\\Inner");
    drives_.MakeDirs("S:\\Data\\Excluded\\Sub");        // a folder exclusion
    Write("S:\\Data\\OnlyTmp\\x.tmp", "x", kNew);      // holds only an excluded file
    drives_.MakeDirs("S:\\Data\\.hidden\\Sub");         // the attribute mask has no hidden
  }
};

TEST_F(EmptyFolders, OneWayMakesTheEmptyFoldersOfTheSelectionAndASecondRunPlansNothing) {
  WriteSourceTree();
  job_.dirExcludes = {"S:\\Data\\Excluded\\*"};
  job_.fileExcludes = {"*.tmp"};
  ListenToChannels();
  SetEmptyFolders(1);

  const Lines expected = {"make folder T:\\Backup\\Data\\Deep\\",
                          "make folder T:\\Backup\\Data\\Deep\\Er\\",
                          "make folder T:\\Backup\\Data\\Deep\\Er\\Est\\",
                          "make folder T:\\Backup\\Data\\Empty\\",
                          "make folder T:\\Backup\\Data\\Full\\Inner\\",
                          "make folder T:\\Backup\\Data\\OnlyTmp\\"};
  EXPECT_EQ(DryRunFolderItems(), expected);
  EXPECT_EQ(RunFolderItems(), expected);
  for (const char* folder : {"Deep\\Er\\Est", "Empty", "Full\\Inner", "OnlyTmp"}) {
    EXPECT_TRUE(Exists(std::string("T:\\Backup\\Data\\") + folder)) << folder;
  }
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Excluded"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\.hidden"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\OnlyTmp\\x.tmp"));
  // Folders are made as for copies: no log line of their own.
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File copied: S:\\Data\\Full\\f.txt",
                              "to: T:\\Backup\\Data\\Full\\f.txt"}));

  EXPECT_EQ(DryRunFolderItems(), Lines{});
  EXPECT_EQ(RunFolderItems(), Lines{});
  EXPECT_TRUE(Recorder().madeFolders.empty());
  EXPECT_TRUE(Changes(Channels().plan).empty());
}

// A front end that never sets it, and the setting off: no folder is made but
// for a copy, and the log is the same byte for byte.
TEST_F(EmptyFolders, WithoutTheSettingOnlyTheFoldersOfCopiesAreMade) {
  std::string logs[2];
  Lines made[2];
  for (int setting : {-1, 0}) {
    ClearDrives();
    Recorder().madeFolders.clear();
    WriteSourceTree();
    if (setting >= 0) SetEmptyFolders(setting);
    EXPECT_EQ(Run(), 1);
    logs[setting + 1] = LogText();
    made[setting + 1] = Recorder().madeFolders;
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\Empty"));
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\Deep"));
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\Full\\Inner"));
  }
  EXPECT_EQ(logs[0], logs[1]);
  EXPECT_EQ(made[0], (Lines{"T:\\Backup\\Data\\", "T:\\Backup\\Data\\Full\\",
                            "T:\\Backup\\Data\\OnlyTmp\\"}));
  EXPECT_EQ(made[1], made[0]);
}

// Folders gone from the source: removed where the destination's orphans
// are erased, with or without DeleteDestDirs, and only there (without the
// setting DeleteDestDirs alone removed them); a folder holding an excluded
// file never; the destination's twin of an empty source folder is kept
// even with DeleteDestDirs (without the setting it was removed).
TEST_F(EmptyFolders, FoldersGoneFromTheSourceAreRemovedOnlyWhereOrphansAreErased) {
  struct Case {
    int32_t orphanModeD2;
    int32_t deleteDestDirs;
    bool goneRemoved;
  } cases[] = {{2, 1, true}, {2, 0, true}, {1, 1, false}, {1, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("OrphanModeD2 " + std::to_string(c.orphanModeD2) + ", DeleteDestDirs " +
                 std::to_string(c.deleteDestDirs));
    ClearDrives();
    Write("S:\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Data\\a.txt", "a", kOld);
    drives_.MakeDirs("S:\\Data\\Empty");
    drives_.MakeDirs("T:\\Backup\\Data\\Empty");
    drives_.MakeDirs("T:\\Backup\\Data\\Gone\\Deeper");
    Write("T:\\Backup\\Data\\GoneFiles\\old.txt", "old", kOld);
    Write("T:\\Backup\\Data\\Held\\keep.tmp", "excluded", kOld);
    job_.fileExcludes = {"*.tmp"};
    job_.orphanModeD2 = c.orphanModeD2;
    job_.deleteDestDirs = c.deleteDestDirs;
    ListenToChannels();
    SetEmptyFolders(1);

    const Lines removals =
        c.goneRemoved ? Lines{"remove folder T:\\Backup\\Data\\Gone\\Deeper\\",
                              "remove folder T:\\Backup\\Data\\Gone\\",
                              "remove folder T:\\Backup\\Data\\GoneFiles\\"}
                      : Lines{};
    EXPECT_EQ(DryRunFolderItems(), removals);
    EXPECT_EQ(RunFolderItems(), removals);
    EXPECT_EQ(Exists("T:\\Backup\\Data\\Gone"), !c.goneRemoved);
    EXPECT_EQ(Exists("T:\\Backup\\Data\\GoneFiles"), !c.goneRemoved);
    EXPECT_TRUE(Exists("T:\\Backup\\Data\\Empty"));
    EXPECT_TRUE(Exists("S:\\Data\\Empty"));
    EXPECT_TRUE(Exists("T:\\Backup\\Data\\Held\\keep.tmp"));
    EXPECT_EQ(RunFolderItems(), Lines{});
    EXPECT_TRUE(Changes(Channels().plan).empty());
  }
}

// Both ways, each side's empty folders are made on the other (with its
// Create...Dirs); with erase orphans a folder whose files the plan erases as
// deleted on the other side is removed there, one the other side never had
// is made there.
TEST_F(EmptyFolders, TwoWayRunsMirrorEmptyFoldersInBothDirections) {
  struct Case {
    int32_t orphanModeB;
  } cases[] = {{0}, {2}};
  for (const Case& c : cases) {
    SCOPED_TRACE("OrphanModeB " + std::to_string(c.orphanModeB));
    ClearDrives();
    Write("S:\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Data\\a.txt", "a", kOld);
    drives_.MakeDirs("S:\\Data\\FromSource\\Inner");
    drives_.MakeDirs("T:\\Backup\\Data\\FromBackup");
    Write("T:\\Backup\\Data\\DeletedAtSource\\d.txt", "d", kOld);
    drives_.MakeDirs("T:\\Backup\\Data\\DeletedAtSource\\Empty");
    job_.touchMode = 1;
    job_.orphanModeB = c.orphanModeB;
    job_.createSrcDirs = 1;
    job_.deleteDestDirs = 1;
    job_.deleteSrcDirs = 1;
    // Without a sync state, an orphan older than this counts as deleted on
    // the other side (with OrphanModeB 2).
    job_.lastUpdate = kNew;
    ListenToChannels();
    SetEmptyFolders(1);

    const Lines expected =
        c.orphanModeB == 0
            ? Lines{"make folder T:\\Backup\\Data\\FromSource\\",
                    "make folder T:\\Backup\\Data\\FromSource\\Inner\\",
                    "make folder S:\\Data\\DeletedAtSource\\Empty\\",
                    "make folder S:\\Data\\FromBackup\\"}
            : Lines{"make folder T:\\Backup\\Data\\FromSource\\",
                    "make folder T:\\Backup\\Data\\FromSource\\Inner\\",
                    "make folder S:\\Data\\FromBackup\\",
                    "remove folder T:\\Backup\\Data\\DeletedAtSource\\Empty\\",
                    "remove folder T:\\Backup\\Data\\DeletedAtSource\\"};
    EXPECT_EQ(DryRunFolderItems(), expected);
    EXPECT_EQ(RunFolderItems(), expected);
    EXPECT_TRUE(Exists("S:\\Data\\FromBackup"));
    EXPECT_TRUE(Exists("T:\\Backup\\Data\\FromSource\\Inner"));
    if (c.orphanModeB == 0) {
      EXPECT_EQ(Read("S:\\Data\\DeletedAtSource\\d.txt"), "d");
      EXPECT_TRUE(Exists("S:\\Data\\DeletedAtSource\\Empty"));
    } else {
      EXPECT_FALSE(Exists("T:\\Backup\\Data\\DeletedAtSource"));
      EXPECT_FALSE(Exists("S:\\Data\\DeletedAtSource"));
    }
    EXPECT_EQ(RunFolderItems(), Lines{});
    EXPECT_TRUE(Changes(Channels().plan).empty());
  }
}

// The attribute mask decides for the hidden folders in the selection, not
// for a selected folder that is hidden or lies in a hidden folder.
TEST_F(EmptyFolders, TheAttributeMaskDecidesForHiddenFoldersInTheSelection) {
  struct Case {
    int32_t attributes;
    const char* include;
    Lines made;
  } cases[] = {
      {0, "S:\\.config\\*",
       {"make folder T:\\Backup\\.config\\", "make folder T:\\Backup\\.config\\Empty\\"}},
      {0x02 /* hidden */, "S:\\.config\\*",
       {"make folder T:\\Backup\\.config\\", "make folder T:\\Backup\\.config\\.cache\\",
        "make folder T:\\Backup\\.config\\Empty\\"}},
      {0, "S:\\.config\\.cache\\*", {"make folder T:\\Backup\\.config\\.cache\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.include) + " with attributes " + std::to_string(c.attributes));
    ClearDrives();
    drives_.MakeDirs("S:\\.config\\Empty");
    drives_.MakeDirs("S:\\.config\\.cache");
    job_.dirIncludes = {c.include};
    job_.attributes = c.attributes;
    ListenToChannels();
    SetEmptyFolders(1);
    EXPECT_EQ(RunFolderItems(), c.made);
    EXPECT_EQ(RunFolderItems(), Lines{});
  }
}

#if !defined(_WIN32)
// A destination folder that is a link to a folder of no job: nothing is
// made through it (the scan reads no folder through a link either).
TEST_F(EmptyFolders, NoFolderIsMadeThroughALink) {
  Write("S:\\Data\\a.txt", "a", kNew);
  drives_.MakeDirs("S:\\Data\\Linked\\Empty");
  drives_.MakeDirs("T:\\Backup\\Data");
  drives_.MakeDirs("U:\\Elsewhere");
  std::error_code error;
  std::filesystem::create_directory_symlink(drives_.Native("U:\\Elsewhere"),
                                            drives_.Native("T:\\Backup\\Data\\Linked"), error);
  ASSERT_FALSE(error) << error.message();
  ListenToChannels();
  SetEmptyFolders(1);
  EXPECT_EQ(RunFolderItems(), Lines{});
  EXPECT_EQ(NativeNames("U:\\Elsewhere\\"), Lines{});
}
#endif

// A run stopped before the folder step makes and removes no folder.
TEST_F(EmptyFolders, AStoppedRunMakesAndRemovesNoFolder) {
  Write("S:\\Data\\a.txt", "a", kNew);
  drives_.MakeDirs("S:\\Data\\Empty");
  drives_.MakeDirs("T:\\Backup\\Data\\Gone");
  job_.confirmMode = TOLVEX_CONFIRM_MODE_EACH_FILE;
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  Recorder().confirmAnswers.Push({TOLVEX_CONFIRM_ABORT});
  ListenToChannels();
  SetEmptyFolders(1);
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Empty"));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\Gone"));
  EXPECT_EQ(FolderItems(Channels().outcomes), Lines{});
  EXPECT_TRUE(Recorder().madeFolders.empty());
}

}  // namespace
}  // namespace tolvex::runtest
