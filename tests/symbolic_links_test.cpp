// Whole runs over symbolic links (Linux): a link to a file, to a folder and
// a dangling one is copied as a link with its target text and its own time,
// compared by target text and time, never followed and never written
// through, on either side; an orphan link is erased as itself. Each case
// runs the real engine through CallUpdate on real trees.
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

// Link times (seconds since 1970, with nanoseconds the copy must keep).
constexpr struct timespec kOldLink = {883'612'800, 123'456'789};  // 1998-01-01
constexpr struct timespec kNewLink = {978'307'200, 987'654'321};  // 2001-01-01

class SymbolicLinks : public RunTest {
 public:
  std::string Native(const std::string& path) const { return drives_.Native(path); }
  void Put(const std::string& path, const std::string& content, uint32_t stamp) const {
    Write(path, content, stamp);
  }
  // A link at `link` whose target text is `text` as given, with time `when`.
  void Link(const std::string& text, const std::string& link, struct timespec when) const {
    drives_.MakeDirs(link.substr(0, link.rfind('\\')));
    ASSERT_EQ(symlink(text.c_str(), Native(link).c_str()), 0) << link;
    const struct timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, Native(link).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }
  // "link", "file", "folder" or "missing": what the name itself is.
  std::string KindOf(const std::string& path) const {
    struct stat st;
    if (lstat(Native(path).c_str(), &st) != 0) return "missing";
    if (S_ISLNK(st.st_mode)) return "link";
    return S_ISDIR(st.st_mode) ? "folder" : "file";
  }
  std::string TextOf(const std::string& link) const {
    char buffer[4096];
    const ssize_t length = readlink(Native(link).c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string("(no link)") : std::string(buffer, static_cast<size_t>(length));
  }
  struct timespec TimeOf(const std::string& path) const {
    struct stat st {};
    lstat(Native(path).c_str(), &st);
    return st.st_mtim;
  }
  // The actions of the plan and the findings, as the channels name them.
  Lines PlanActions() const {
    Lines actions;
    for (const ChannelItem& item : Channels().plan) {
      // Copies and erasures; what a run leaves alone is in the findings.
      if (item.IsAction() && item.kind != TOLVEX_ITEM_SKIP) actions.push_back(item.Action());
    }
    return actions;
  }
  Lines Findings() const {
    return ChannelRecorder::Described(
        ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_FINDING));
  }
  // Runs the job again with nothing changed: nothing is planned.
  void ExpectSecondRunPlansNothing() {
    Channels() = ChannelRecorder();
    ListenToChannels();
    Run();
    EXPECT_EQ(PlanActions(), Lines()) << "a second run";
  }
  void Reset() {
    for (const char* root : {"S:\\", "T:\\", "U:\\"}) {
      for (const auto& entry : std::filesystem::directory_iterator(Native(root))) {
        std::filesystem::remove_all(entry.path());
      }
    }
    job_ = Job();
    Recorder() = CallbackRecorder();
    Channels() = ChannelRecorder();
    ListenToChannels();
  }
};

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

struct KindCase {
  const char* name;
  const char* text;       // the link's target text, relative to its folder
  uint32_t item_bit;      // TOLVEX_ITEM_LINK_*
};

// Each kind of link lands in the backup as the same link: its text as
// written (relative stays relative), its time to the nanosecond; nothing
// behind it is read or copied; the plan names its kind; the log has its
// "File copied" line; and the next run plans nothing.
TEST_F(SymbolicLinks, EachKindIsCopiedAsTheSameLinkAndASecondRunPlansNothing) {
  const std::vector<KindCase> cases = {
      {"a link to a file", "target.txt", TOLVEX_ITEM_LINK_TO_FILE},
      {"a link to a folder", "../Elsewhere", TOLVEX_ITEM_LINK_TO_FOLDER},
      {"a dangling link", "no/such/file", TOLVEX_ITEM_LINK_DANGLING},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    Write("S:\\Data\\target.txt", "the file a link leads to", kOld);
    Write("S:\\Elsewhere\\inside.txt", "behind a folder link", kOld);
    Link(c.text, "S:\\Data\\link", kOldLink);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(KindOf("T:\\Backup\\Data\\link"), "link");
    EXPECT_EQ(TextOf("T:\\Backup\\Data\\link"), c.text);
    EXPECT_TRUE(SameTime(TimeOf("T:\\Backup\\Data\\link"), kOldLink));
    EXPECT_FALSE(Exists("T:\\Backup\\Elsewhere\\inside.txt"));
    EXPECT_EQ(KindOf("S:\\Data\\link"), "link");
    EXPECT_EQ(TextOf("S:\\Data\\link"), c.text);
    const auto copy = std::find_if(Channels().plan.begin(), Channels().plan.end(),
                                   [](const ChannelItem& item) {
                                     return item.kind == TOLVEX_ITEM_COPY &&
                                            item.from == "S:\\Data\\link";
                                   });
    ASSERT_NE(copy, Channels().plan.end());
    EXPECT_EQ(copy->state & TOLVEX_ITEM_LINK_BITS, c.item_bit);
    EXPECT_NE(LogLineWith("S:\\Data\\link"), "");
    EXPECT_NE(LogLineWith("S:\\Data\\link").find("File copied"), std::string::npos);
    EXPECT_EQ(Findings(), Lines());
    ExpectSecondRunPlansNothing();
  }
}

struct ChangeCase {
  const char* name;
  std::function<void(SymbolicLinks&, Job&)> arrange;
  Lines actions;  // the plan's actions
  Lines kinds;    // "path=kind" after the run
  Lines texts;    // "path->text": a link and its text after the run
  Lines contents;  // "path:content": a file after the run
  Lines findings;
};

// What the backup holds already: a link replaced by a file and the
// reverse, a text that changed, an orphan link erased, links in the
// backup and folders on the other side. No link is ever read or written
// through, and the file or folder it leads to stays as it was.
TEST_F(SymbolicLinks, ChangesBetweenLinksFilesAndFoldersNeverGoThroughALink) {
  const std::vector<ChangeCase> cases = {
      {"a link in the backup replaced by the file that took its name",
       [](SymbolicLinks& t, Job&) {
         t.Put("S:\\Data\\report.txt", "now a file", kNew);
         t.Put("T:\\precious.txt", "precious", kOld);
         t.Link("../../precious.txt", "T:\\Backup\\Data\\report.txt", kOldLink);
       },
       {"copy S:\\Data\\report.txt -> T:\\Backup\\Data\\report.txt"},
       {"T:\\Backup\\Data\\report.txt=file"},
       {},
       {"T:\\Backup\\Data\\report.txt:now a file", "T:\\precious.txt:precious"},
       {}},
      {"a link in the backup to a read-only file, overwrite-readonly",
       [](SymbolicLinks& t, Job& job) {
         t.Put("S:\\Data\\report.txt", "now a file", kNew);
         t.Put("T:\\precious.txt", "precious", kOld);
         ASSERT_EQ(chmod(t.Native("T:\\precious.txt").c_str(), 0444), 0);
         t.Link("../../precious.txt", "T:\\Backup\\Data\\report.txt", kOldLink);
         job.attributes = TOLVEX_ATTR_OVERWRITE_READONLY;
       },
       {"copy S:\\Data\\report.txt -> T:\\Backup\\Data\\report.txt"},
       {"T:\\Backup\\Data\\report.txt=file"},
       {},
       {"T:\\Backup\\Data\\report.txt:now a file", "T:\\precious.txt:precious"},
       {}},
      {"a link in the backup to a folder replaced by a file",
       [](SymbolicLinks& t, Job&) {
         t.Put("S:\\Data\\docs", "now a file", kNew);
         t.Put("T:\\precious\\inside.txt", "precious", kOld);
         t.Link("../../precious", "T:\\Backup\\Data\\docs", kOldLink);
       },
       {"copy S:\\Data\\docs -> T:\\Backup\\Data\\docs"},
       {"T:\\Backup\\Data\\docs=file", "T:\\precious=folder"},
       {},
       {"T:\\Backup\\Data\\docs:now a file", "T:\\precious\\inside.txt:precious"},
       {}},
      {"a file in the backup replaced by the link that took its name",
       [](SymbolicLinks& t, Job&) {
         t.Put("S:\\Data\\target.txt", "target", kOld);
         t.Link("target.txt", "S:\\Data\\report.txt", kNewLink);
         t.Put("T:\\Backup\\Data\\target.txt", "target", kOld);
         t.Put("T:\\Backup\\Data\\report.txt", "an old file", kOld);
       },
       {"copy S:\\Data\\report.txt -> T:\\Backup\\Data\\report.txt"},
       {"T:\\Backup\\Data\\report.txt=link"},
       {"T:\\Backup\\Data\\report.txt->target.txt"},
       {"T:\\Backup\\Data\\target.txt:target"},
       {}},
      {"a link whose text changed, of the same length and time",
       [](SymbolicLinks& t, Job&) {
         t.Put("T:\\Backup\\Data\\b.txt", "the old target", kOld);
         t.Link("a.txt", "S:\\Data\\link", kOldLink);
         t.Link("b.txt", "T:\\Backup\\Data\\link", kOldLink);
       },
       {"copy S:\\Data\\link -> T:\\Backup\\Data\\link"},
       {"T:\\Backup\\Data\\link=link"},
       {"T:\\Backup\\Data\\link->a.txt"},
       {"T:\\Backup\\Data\\b.txt:the old target"},
       {}},
      {"an orphan link in the backup erased, never what it leads to",
       [](SymbolicLinks& t, Job& job) {
         t.Put("S:\\Data\\kept.txt", "kept", kNew);
         t.Put("T:\\precious\\inside.txt", "precious", kOld);
         t.Put("T:\\precious.txt", "precious", kOld);
         t.Link("../../precious", "T:\\Backup\\Data\\folder link", kOldLink);
         t.Link("../../precious.txt", "T:\\Backup\\Data\\file link", kOldLink);
         job.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
       },
       {"erase T:\\Backup\\Data\\folder link", "erase T:\\Backup\\Data\\file link",
        "copy S:\\Data\\kept.txt -> T:\\Backup\\Data\\kept.txt"},
       {"T:\\Backup\\Data\\folder link=missing", "T:\\Backup\\Data\\file link=missing",
        "T:\\precious=folder"},
       {},
       {"T:\\precious\\inside.txt:precious", "T:\\precious.txt:precious"},
       {}},
      {"a folder in the source, a link of its name in the backup",
       [](SymbolicLinks& t, Job&) {
         t.Put("S:\\Data\\docs\\report.txt", "new source", kNew);
         t.Put("T:\\precious\\report.txt", "precious", kOld);
         t.Link("../../precious", "T:\\Backup\\Data\\docs", kOldLink);
       },
       {},
       {"T:\\Backup\\Data\\docs=link"},
       {"T:\\Backup\\Data\\docs->../../precious"},
       {"T:\\precious\\report.txt:precious"},
       {"found 10112 T:\\Backup\\Data\\docs\\"}},
      {"a link in the source, a folder of its name in the backup, both ways",
       [](SymbolicLinks& t, Job& job) {
         t.Put("S:\\Elsewhere\\x.txt", "precious", kOld);
         t.Link("../Elsewhere", "S:\\Data\\sub", kOldLink);
         t.Put("T:\\Backup\\Data\\sub\\x.txt", "newer backup", kNew);
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
       },
       {},
       {"S:\\Data\\sub=link", "T:\\Backup\\Data\\sub=folder"},
       {"S:\\Data\\sub->../Elsewhere"},
       {"S:\\Elsewhere\\x.txt:precious", "T:\\Backup\\Data\\sub\\x.txt:newer backup"},
       {"found 10112 S:\\Data\\sub\\"}},
  };
  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    c.arrange(*this, job_);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(PlanActions(), c.actions);
    for (const std::string& kind : c.kinds) {
      const size_t eq = kind.rfind('=');
      EXPECT_EQ(KindOf(kind.substr(0, eq)), kind.substr(eq + 1)) << kind;
    }
    for (const std::string& text : c.texts) {
      const size_t arrow = text.find("->");
      EXPECT_EQ(TextOf(text.substr(0, arrow)), text.substr(arrow + 2)) << text;
    }
    for (const std::string& content : c.contents) {
      const size_t colon = content.find(':', 2);
      EXPECT_EQ(KindOf(content.substr(0, colon)), "file") << content;
      EXPECT_EQ(Read(content.substr(0, colon)), content.substr(colon + 1)) << content;
    }
    EXPECT_EQ(Findings(), c.findings);
    // Found pairs are reported again; what was carried out is not planned again.
    if (c.findings.empty()) ExpectSecondRunPlansNothing();
  }
}

// Both ways, a link on one side only goes across as a link, each way, and
// a newer link replaces an older one of other text; the next run plans
// nothing.
TEST_F(SymbolicLinks, BothWaysLinksGoAcrossInEachDirection) {
  Write("S:\\Data\\a.txt", "a", kOld);
  Link("a.txt", "S:\\Data\\to source only", kOldLink);
  Link("../Elsewhere", "T:\\Backup\\Data\\from backup", kOldLink);
  Link("old", "S:\\Data\\changed", kOldLink);
  Link("a newer text", "T:\\Backup\\Data\\changed", kNewLink);
  job_.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
  job_.lastUpdate = 0;
  ListenToChannels();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(TextOf("T:\\Backup\\Data\\to source only"), "a.txt");
  EXPECT_EQ(TextOf("S:\\Data\\from backup"), "../Elsewhere");
  EXPECT_TRUE(SameTime(TimeOf("S:\\Data\\from backup"), kOldLink));
  EXPECT_EQ(TextOf("S:\\Data\\changed"), "a newer text");
  EXPECT_TRUE(SameTime(TimeOf("S:\\Data\\changed"), kNewLink));
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
  EXPECT_EQ(Findings(), Lines());
  ExpectSecondRunPlansNothing();
}

}  // namespace
}  // namespace tolvex::runtest

#endif  // _WIN32
