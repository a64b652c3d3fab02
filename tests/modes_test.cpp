// File and folder modes on POSIX, on real trees through CallUpdate: a copy
// keeps its file's mode, a folder the run makes takes its source folder's,
// and a pair whose modes alone differ gets its mode set, an action of its
// own in the plan, the outcomes and the log (written there as a copy).
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/records.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class Modes : public RunTest {
 protected:
  Modes() { ListenToChannels(); }
  ~Modes() override {
    // Folders of mode 500 refuse the removal of what they hold.
    for (const char letter : {'S', 'T'}) {
      std::error_code ignored;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(
               drives_.Native(TestDrives::Root(letter)), ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
      }
    }
  }

  struct stat Stat(const std::string& path) const {
    struct stat st {};
    EXPECT_EQ(stat(drives_.Native(path).c_str(), &st), 0) << path;
    return st;
  }
  unsigned ModeOf(const std::string& path) const { return Stat(path).st_mode & 07777; }
  void SetModeOf(const std::string& path, unsigned mode) const {
    ASSERT_EQ(chmod(drives_.Native(path).c_str(), mode), 0) << path;
  }
  // Sets the mode of `path` so that it changed after `other` did: the
  // kernel keeps change times at its clock's tick, and two calls in a row
  // may share one.
  void SetModeAfter(const std::string& path, unsigned mode, const std::string& other) const {
    const auto changed = [this](const std::string& p) {
      const struct stat st = Stat(p);
      return std::make_pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    };
    for (int tries = 0; tries < 1000000; ++tries) {
      SetModeOf(path, mode ^ 0100);
      SetModeOf(path, mode);
      if (changed(path) > changed(other)) return;
    }
    FAIL() << "the change time of " << path << " never passed that of " << other;
  }
  // A pair the first run left equal: content, stamp and mode.
  void WriteBackedUp(const std::string& name, unsigned mode) const {
    Write("S:\\Data\\" + name, "same", kOld);
    Write("T:\\Backup\\Data\\" + name, "same", kOld);
    SetModeOf("S:\\Data\\" + name, mode);
    SetModeOf("T:\\Backup\\Data\\" + name, mode);
  }
  std::vector<std::string> PlannedActions() const { return ChannelRecorder::Actions(Channels().plan); }
  std::vector<std::string> CarriedOut() const {
    std::vector<std::string> done;
    for (const ChannelItem& item : Channels().outcomes) {
      if (item.IsAction() && item.outcome == TOLVEX_OUTCOME_DONE) done.push_back(item.Action());
    }
    return done;
  }
  void NextRun() {
    Channels() = ChannelRecorder();
    Recorder() = CallbackRecorder();
  }
};

// Each copy keeps its file's mode, and each folder the run makes takes its
// source folder's: 700 stays 700 (it was 755), a folder of mode 500 is
// filled first and then closed. A second run plans nothing.
TEST_F(Modes, CopiesKeepTheirModesAndMadeFoldersTakeTheirSourceFolders) {
  struct Entry {
    const char* path;  // below S:\Data\ and T:\Backup\Data\ (folders end in a backslash)
    unsigned mode;
  };
  const Entry entries[] = {
      {"private.txt", 0600}, {"run.sh", 0755},          {"read-only.txt", 0444},
      {"secret\\", 0700},    {"secret\\key.txt", 0640}, {"locked\\", 0500},
      {"locked\\inner\\", 0750}, {"locked\\inner\\deep.txt", 0604}, {"open\\", 0777},
      {"open\\shared.txt", 0666},
  };
  for (const Entry& entry : entries) {
    const std::string path = std::string("S:\\Data\\") + entry.path;
    if (path.back() != '\\') Write(path, path, kOld);
  }
  // Deepest first: a folder of mode 500 takes no new entry afterwards.
  for (auto entry = std::rbegin(entries); entry != std::rend(entries); ++entry) {
    SetModeOf(std::string("S:\\Data\\") + entry->path, entry->mode);
  }
  SetModeOf("S:\\Data\\", 0751);

  ASSERT_EQ(Run(), 1);
  for (const Entry& entry : entries) {
    const std::string backup = std::string("T:\\Backup\\Data\\") + entry.path;
    EXPECT_EQ(ModeOf(backup), entry.mode) << std::oct << backup;
    if (backup.back() != '\\') {
      EXPECT_EQ(Read(backup), std::string("S:\\Data\\") + entry.path);
    }
  }
  EXPECT_EQ(ModeOf("T:\\Backup\\Data\\"), 0751u);
  EXPECT_EQ(PlannedActions(), CarriedOut());

  NextRun();
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), Lines{"No files found."});
  EXPECT_TRUE(PlannedActions().empty());
}

// A pair whose modes alone differ is planned, carried out and reported as
// a mode set: no copy, the log's copy lines, the other side's mode; the
// next run plans nothing. One way from the side read; both ways from the
// side whose mode changed last.
TEST_F(Modes, APairWhoseModesAloneDifferGetsItsModeSet) {
  struct Case {
    const char* title;
    int32_t touch_mode;
    const char* changed;  // the file whose mode changes
    unsigned from;
    unsigned to;
    const char* action;
  };
  const Case cases[] = {
      {"one way, the source's mode taken away", 0, "S:\\Data\\a.txt", 0644, 0600,
       "set mode S:\\Data\\a.txt -> T:\\Backup\\Data\\a.txt"},
      {"one way, made read-only", 0, "S:\\Data\\a.txt", 0644, 0444,
       "set mode S:\\Data\\a.txt -> T:\\Backup\\Data\\a.txt"},
      {"one way, onto a read-only backup", 0, "S:\\Data\\a.txt", 0444, 0664,
       "set mode S:\\Data\\a.txt -> T:\\Backup\\Data\\a.txt"},
      {"both ways, changed in the source", 1, "S:\\Data\\a.txt", 0644, 0600,
       "set mode S:\\Data\\a.txt -> T:\\Backup\\Data\\a.txt"},
      {"both ways, changed in the destination", 1, "T:\\Backup\\Data\\a.txt", 0644, 0755,
       "set mode T:\\Backup\\Data\\a.txt -> S:\\Data\\a.txt"},
      {"to the source, changed in the destination", 2, "T:\\Backup\\Data\\a.txt", 0600, 0640,
       "set mode T:\\Backup\\Data\\a.txt -> S:\\Data\\a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ClearDrives();
    NextRun();
    job_.touchMode = c.touch_mode;
    WriteBackedUp("a.txt", c.from);
    const bool source_changed = std::string(c.changed).rfind("S:", 0) == 0;
    SetModeAfter(c.changed, c.to, source_changed ? "T:\\Backup\\Data\\a.txt" : "S:\\Data\\a.txt");

    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(PlannedActions(), Lines{c.action});
    EXPECT_EQ(CarriedOut(), Lines{c.action});
    const std::vector<ChannelItem> set = ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_SET_MODE);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].number, c.to);
    EXPECT_EQ(set[0].limit, c.from);
    EXPECT_TRUE(set[0].state & STATE_MODE_ONLY);
    EXPECT_EQ(platform_.copies, 0);
    const std::string from = set[0].from;
    const std::string to = set[0].to;
    EXPECT_EQ(LogBody(), (Lines{"File copied: " + from, "to: " + to}));
    EXPECT_EQ(ModeOf("S:\\Data\\a.txt"), c.to);
    EXPECT_EQ(ModeOf("T:\\Backup\\Data\\a.txt"), c.to);
    EXPECT_EQ(Read("S:\\Data\\a.txt"), "same");
    EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "same");

    NextRun();
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), Lines{"No files found."});
    EXPECT_TRUE(PlannedActions().empty());
  }
}

// The dry run plans the mode set and leaves the mode as it is; a file whose
// content changed too is copied (with its mode), not given a mode alone.
TEST_F(Modes, TheDryRunPlansTheModeSetAndAChangedFileIsCopied) {
  WriteBackedUp("mode.txt", 0644);
  SetModeOf("S:\\Data\\mode.txt", 0600);
  Write("S:\\Data\\both.txt", "new content", kNew);
  Write("T:\\Backup\\Data\\both.txt", "old", kOld);
  SetModeOf("S:\\Data\\both.txt", 0640);
  SetModeOf("T:\\Backup\\Data\\both.txt", 0644);
  SetDryRun(1);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(PlannedActions(), (Lines{"copy S:\\Data\\both.txt -> T:\\Backup\\Data\\both.txt",
                                     "set mode S:\\Data\\mode.txt -> T:\\Backup\\Data\\mode.txt"}));
  EXPECT_EQ(ModeOf("T:\\Backup\\Data\\mode.txt"), 0644u);
  EXPECT_EQ(ModeOf("T:\\Backup\\Data\\both.txt"), 0644u);

  SetDryRun(0);
  NextRun();
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(CarriedOut(), (Lines{"copy S:\\Data\\both.txt -> T:\\Backup\\Data\\both.txt",
                                 "set mode S:\\Data\\mode.txt -> T:\\Backup\\Data\\mode.txt"}));
  EXPECT_EQ(ModeOf("T:\\Backup\\Data\\mode.txt"), 0600u);
  EXPECT_EQ(ModeOf("T:\\Backup\\Data\\both.txt"), 0640u);
  EXPECT_EQ(Read("T:\\Backup\\Data\\both.txt"), "new content");
}

// As root, copies and made folders keep their owner and group.
TEST_F(Modes, ARunAsRootKeepsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only root gives files away";
  Write("S:\\Data\\sub\\owned.txt", "owned", kOld);
  ASSERT_EQ(chown(drives_.Native("S:\\Data\\sub\\owned.txt").c_str(), 1234, 2345), 0);
  ASSERT_EQ(chown(drives_.Native("S:\\Data\\sub").c_str(), 3456, 4567), 0);
  ASSERT_EQ(Run(), 1);
  const struct stat file = Stat("T:\\Backup\\Data\\sub\\owned.txt");
  EXPECT_EQ(file.st_uid, 1234u);
  EXPECT_EQ(file.st_gid, 2345u);
  const struct stat folder = Stat("T:\\Backup\\Data\\sub");
  EXPECT_EQ(folder.st_uid, 3456u);
  EXPECT_EQ(folder.st_gid, 4567u);
}

}  // namespace
}  // namespace tolvex::runtest

#endif  // !_WIN32
