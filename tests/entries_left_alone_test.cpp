// Whole runs over what no copy may read through, replace or erase: links
// in the destination tree where the source has a folder, a destination twin
// that is itself a link, links among the source folders of a two-way run
// where the backup has a folder (links copied as links:
// symbolic_links_test.cpp), FIFOs on either side, and the run's own files (its log, the command's
// state) inside a tree whose orphans are erased. Each case runs the real
// engine through CallUpdate on real trees, and checks that every such
// entry and whatever it points to is as it was, that the plan named it as
// a finding and planned no action on it.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class EntriesLeftAlone : public RunTest {
 public:
  void Put(const std::string& path, const std::string& content, uint32_t stamp) const {
    Write(path, content, stamp);
  }
  // The source file and the version elsewhere that a link in the backup
  // leads to: the run may write neither through the link.
  void SourceAndPrecious(const std::string& source, const std::string& precious) const {
    Put(source, "new source", kNew);
    Put(precious, "precious", kOld);
  }
  std::string Native(const std::string& path) const { return drives_.Native(path); }
  void Link(const std::string& target, const std::string& link) const {
    drives_.MakeDirs(link.substr(0, link.rfind('\\')));
    ASSERT_EQ(symlink(Native(target).c_str(), Native(link).c_str()), 0) << link;
  }
  void Fifo(const std::string& path) const {
    drives_.MakeDirs(path.substr(0, path.rfind('\\')));
    ASSERT_EQ(mkfifo(Native(path).c_str(), 0600), 0) << path;
  }
  // "link", "fifo", "file", "folder" or "missing": what the name itself is.
  std::string KindOf(const std::string& path) const {
    struct stat st;
    if (lstat(Native(path).c_str(), &st) != 0) return "missing";
    if (S_ISLNK(st.st_mode)) return "link";
    if (S_ISFIFO(st.st_mode)) return "fifo";
    return S_ISDIR(st.st_mode) ? "folder" : "file";
  }
  bool ReadOnly(const std::string& path) const {
    struct stat st;
    return stat(Native(path).c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
  }
};

struct LeftAloneCase {
  const char* name;
  std::function<void(EntriesLeftAlone&, Job&)> arrange;
  // Each "path=kind" (KindOf) after the run, and each "path:content".
  Lines kinds;
  Lines contents;
  Lines findings;  // "found CODE PATH", as the plan lists them
};

TEST_F(EntriesLeftAlone, LinksInTheBackupAndPipesAreFindingsNeitherReadNorWrittenThrough) {
  const std::vector<LeftAloneCase> cases = {
      {"a folder link in the backup",
       [](EntriesLeftAlone& t, Job&) {
         t.SourceAndPrecious("S:\\Data\\docs\\report.txt", "T:\\precious\\report.txt");
         t.Link("T:\\precious", "T:\\Backup\\Data\\docs");
       },
       {"T:\\Backup\\Data\\docs=link"},
       {"T:\\precious\\report.txt:precious"},
       {"found 10112 T:\\Backup\\Data\\docs\\"}},
      {"the destination twin itself a link",
       [](EntriesLeftAlone& t, Job&) {
         t.SourceAndPrecious("S:\\Data\\report.txt", "T:\\precious\\report.txt");
         t.Link("T:\\precious", "T:\\Backup\\Data");
       },
       {"T:\\Backup\\Data=link"},
       {"T:\\precious\\report.txt:precious"},
       {"found 10112 T:\\Backup\\Data\\"}},
      {"a folder link among the sources, both ways",
       [](EntriesLeftAlone& t, Job& job) {
         t.Put("S:\\Elsewhere\\x.txt", "precious", kOld);
         t.Put("T:\\Backup\\Data\\sub\\x.txt", "newer backup", kNew);
         t.Link("S:\\Elsewhere", "S:\\Data\\sub");
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
       },
       {"S:\\Data\\sub=link"},
       {"S:\\Elsewhere\\x.txt:precious", "T:\\Backup\\Data\\sub\\x.txt:newer backup"},
       {"found 10112 S:\\Data\\sub\\"}},
      {"a pipe at the target",
       [](EntriesLeftAlone& t, Job&) {
         t.Put("S:\\Data\\report.txt", "new source", kNew);
         t.Fifo("T:\\Backup\\Data\\report.txt");
       },
       {"T:\\Backup\\Data\\report.txt=fifo"},
       {},
       {"found 10120 T:\\Backup\\Data\\report.txt"}},
      {"a pipe in the backup, destination orphans erased",
       [](EntriesLeftAlone& t, Job& job) {
         t.Put("S:\\Data\\kept.txt", "kept", kNew);
         t.Fifo("T:\\Backup\\Data\\pipe");
         job.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
       },
       {"T:\\Backup\\Data\\pipe=fifo"},
       {},
       {"found 10120 T:\\Backup\\Data\\pipe"}},
      {"a pipe among the sources, both ways",
       [](EntriesLeftAlone& t, Job& job) {
         t.Put("S:\\Data\\kept.txt", "kept", kNew);
         t.Fifo("S:\\Data\\pipe");
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
       },
       {"S:\\Data\\pipe=fifo", "T:\\Backup\\Data\\pipe=missing"},
       {},
       {"found 10120 S:\\Data\\pipe"}},
  };
  for (const LeftAloneCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* root : {"S:\\", "T:\\"}) {
      for (const auto& entry : std::filesystem::directory_iterator(Native(root))) {
        std::filesystem::remove_all(entry.path());
      }
    }
    job_ = Job();
    Recorder() = CallbackRecorder();
    Channels() = ChannelRecorder();
    c.arrange(*this, job_);
    ListenToChannels();
    EXPECT_EQ(Run(), 1);
    for (const std::string& kind : c.kinds) {
      const size_t eq = kind.rfind('=');
      EXPECT_EQ(KindOf(kind.substr(0, eq)), kind.substr(eq + 1)) << kind;
    }
    for (const std::string& content : c.contents) {
      const size_t colon = content.find(':', 2);
      EXPECT_EQ(Read(content.substr(0, colon)), content.substr(colon + 1)) << content;
      EXPECT_EQ(KindOf(content.substr(0, colon)), "file") << content;
    }
    const Lines found = ChannelRecorder::Described(
        ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_FINDING));
    for (const std::string& finding : c.findings) {
      EXPECT_NE(std::find(found.begin(), found.end(), finding), found.end())
          << finding << "\nfound:\n" << ::testing::PrintToString(found);
    }
    // No action of the plan names a protected entry or anything below it.
    for (const std::string& action : ChannelRecorder::Described(Channels().plan)) {
      for (const std::string& kind : c.kinds) {
        EXPECT_EQ(action.find(kind.substr(0, kind.rfind('='))), std::string::npos) << action;
      }
    }
  }
}

// overwrite-readonly makes a read-only target writable before the copy;
// a target that is a link is replaced by the copy, and the file it led to
// keeps its read-only bit and its content.
TEST_F(EntriesLeftAlone, OverwriteReadonlyNeverChangesTheTargetOfALink) {
  Write("S:\\Elsewhere\\ro.txt", "the linked version", kOld);
  ASSERT_EQ(chmod(Native("S:\\Elsewhere\\ro.txt").c_str(), 0444), 0);
  Link("S:\\Elsewhere\\ro.txt", "S:\\Data\\ro.txt");
  // The link is older than the backup's file, which is copied back over it.
  const struct timespec old_link[2] = {{0, UTIME_OMIT}, {915'148'800, 0}};  // 1999-01-01
  ASSERT_EQ(utimensat(AT_FDCWD, Native("S:\\Data\\ro.txt").c_str(), old_link, AT_SYMLINK_NOFOLLOW), 0);
  Write("T:\\Backup\\Data\\ro.txt", "newer in the backup", kNew);
  job_.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
  job_.attributes = TOLVEX_ATTR_OVERWRITE_READONLY;
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(ReadOnly("S:\\Elsewhere\\ro.txt"));
  EXPECT_EQ(Read("S:\\Elsewhere\\ro.txt"), "the linked version");
  EXPECT_EQ(KindOf("S:\\Data\\ro.txt"), "file");
  EXPECT_EQ(Read("S:\\Data\\ro.txt"), "newer in the backup");
}

}  // namespace
}  // namespace tolvex::runtest

#endif  // _WIN32
