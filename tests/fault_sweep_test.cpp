// The fault sweep: every kind of platform call a run makes, failed at every
// position it is made at, with the errors that call is likely to meet, over
// representative jobs (one way with erased orphans, both ways, the
// generation rotation, a confirmation per file with answers, the overview
// with an interruption; the four without the rotation also with copies
// staged and put in place together by the real platform: its StageCopy and
// CompleteStagedCopies, and on POSIX with faults injected under them, in
// the middle of a staged copy's data and before a staged copy's rename).
// Before the sweep each job runs once without a
// fault; that run says how many calls of each kind there are to fail and
// what every file and folder holds afterwards.
//
// After each run with a fault:
//   - every file and folder is as it was before the run or as the run
//     without a fault left it (no partial target, no source changed unless
//     the plan said so, nothing erased that the plan did not erase); for the
//     rotation, every generation but the one the run renews still exists;
//   - no temporary file is left;
//   - what the log says happened did happen (a copied file equals its
//     source, an erased file or removed folder is gone);
//   - every difference from the run without a fault is explained: by a log
//     line or a callback that names the file, its folder or its counterpart,
//     or by a run-wide report (a check that ended the run, another run
//     holding the destination, a log that could not be written, a blocked
//     rotation).
// The sanitizer build runs the same sweep, so a crash or a leak anywhere on
// these paths fails it too.
//
// TOLVEX_SWEEP_LONG=1 adds faults that persist (every later call of the
// kind fails too) and a larger tree; scripts/reliability-long.sh sets it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "model/plan.h"
#include "platform/reserved_names.h"
#include "tests/run_fixture.h"

#include "include/tolvex32.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_copy.h"
#endif

namespace tolvex::runtest {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Drive path ("T:\Backup\a.txt", a folder with its backslash) -> content, or
// "<folder>" for a folder, or "<link>" and its target text for a symbolic
// link (never followed); on POSIX a file's and a folder's mode follows
// (" <mode 644>"), so a mode is kept, lost or changed as content is.
using TreeState = std::map<std::string, std::string>;
constexpr char kFolderMark[] = "<folder>";
constexpr char kLinkMark[] = "<link>";
constexpr char kModeMark[] = " <mode ";

// The content of a captured entry, without its mode.
std::string ContentOf(const std::string& value) { return value.substr(0, value.rfind(kModeMark)); }

bool LongSweep() {
  const char* value = std::getenv("TOLVEX_SWEEP_LONG");
  return value != nullptr && std::string(value) == "1";
}

// The errors each kind of call is likely to meet.
struct KindErrors {
  CallKind kind;
  std::vector<uint32_t> errors;
};
const std::vector<KindErrors>& SweptKinds() {
  static const std::vector<KindErrors> kinds = {
      {CallKind::kFind, {kErrAccessDenied, kErrPathNotFound}},
      // "Not found" for a folder that exists cannot be told from a folder
      // that is gone; FindEntries' "path not found" for a folder the scan
      // has seen is swept instead.
      {CallKind::kGetAttributes, {kErrAccessDenied, kErrSharingViolation}},
      {CallKind::kSetAttributes, {kErrAccessDenied}},
      {CallKind::kCopyOver, {kErrDiskFull, kErrAccessDenied, kErrSharingViolation, kErrPathNotFound}},
      {CallKind::kRemoveFile, {kErrAccessDenied, kErrSharingViolation}},
      {CallKind::kMoveEntry, {kErrAccessDenied, kErrSharingViolation}},
      {CallKind::kRemoveFolder, {kErrAccessDenied, kErrSharingViolation}},
      {CallKind::kMakeFolder, {kErrAccessDenied, kErrDiskFull}},
      {CallKind::kGetLastWriteStamp, {kErrAccessDenied}},
      {CallKind::kSetLastWriteStamp, {kErrAccessDenied}},
      {CallKind::kOpenForWrite, {kErrAccessDenied, kErrSharingViolation}},
      {CallKind::kDiskFreeSpace, {kErrPathNotFound, kErrAccessDenied}},
      {CallKind::kWriteProfile, {kErrAccessDenied}},
      {CallKind::kReadProfile, {kErrAccessDenied}},
      {CallKind::kRemoveDeadTemporaries, {kErrAccessDenied}},
      {CallKind::kLockFolder, {kErrSharingViolation, kErrAccessDenied}},
      {CallKind::kLogWrite, {kErrDiskFull}},
      {CallKind::kNow, {1}},  // the date turns
      // Shared generations: a version not as described, a read-only or
      // special one, a file at its most names, a full disk.
      {CallKind::kLinkOver, {kErrDiffers, kErrAccessDenied, kErrTooManyLinks, kErrDiskFull}},
#ifndef _WIN32
      // Links and modes. The Win32 back end has neither: its ReadLink and
      // mode calls always answer 50 and change nothing, which is no fault.
      {CallKind::kReadLink, {kErrAccessDenied, kErrInvalidParameter}},
      {CallKind::kGetModeInfo, {kErrAccessDenied, kErrFileNotFound}},
      {CallKind::kSetMode, {kErrAccessDenied, kErrFileNotFound}},
      {CallKind::kCopyMode, {kErrAccessDenied, kErrFileNotFound}},
#endif
  };
  return kinds;
}

// One representative job: its trees, its settings, its answers.
struct SweepJob {
  const char* name;
  // The destination prefix the source prefix "S:\Data\" maps to.
  const char* counterpartPrefix;
  bool rotation = false;
  // The job whose trees and settings it takes; null: its own name.
  const char* setup = nullptr;
  // Copies staged and put in place together by the platform (both back
  // ends stage them; faults under the staging are injected on POSIX only).
  bool staged = false;
  // Symbolic links or modes: features of POSIX only, skipped elsewhere.
  bool posixOnly = false;
  // The kinds of calls the job is made to reach (on POSIX; elsewhere the
  // hard links only).
  std::vector<CallKind> reaches = {};
};

void PrintTo(const SweepJob& job, std::ostream* out) { *out << job.name; }

const SweepJob kJobs[] = {
    {"OneWayErasingOrphans", "T:\\Backup\\Data\\"},
    {"TwoWay", "T:\\Backup\\Data\\"},
    {"GenerationRotation", "T:\\Backup\\Grandson\\", true},
    {"ConfirmEachFileWithAnswers", "T:\\Backup\\Data\\"},
    {"OverviewAndInterrupt", "T:\\Backup\\Data\\"},
    {"OneWayStagedCopies", "T:\\Backup\\Data\\", false, "OneWayErasingOrphans", true},
    {"TwoWayStagedCopies", "T:\\Backup\\Data\\", false, "TwoWay", true},
    {"ConfirmEachFileStagedCopies", "T:\\Backup\\Data\\", false, "ConfirmEachFileWithAnswers",
     true},
    {"OverviewAndInterruptStagedCopies", "T:\\Backup\\Data\\", false, "OverviewAndInterrupt",
     true},
    {"SymbolicLinks", "T:\\Backup\\Data\\", false, nullptr, false, true, {CallKind::kReadLink}},
    {"Modes", "T:\\Backup\\Data\\", false, nullptr, false, true,
     {CallKind::kGetModeInfo, CallKind::kSetMode, CallKind::kCopyMode}},
    {"SharedGenerations", "T:\\Backup\\Grandson\\", true, nullptr, false, false,
     {CallKind::kLinkOver, CallKind::kGetModeInfo, CallKind::kCopyMode}},
};

// What one log line reports: "label: path" (and the second line's path).
struct LogItem {
  std::string label;
  std::string path;
  std::string counterPath;
};

std::vector<LogItem> Items(const Lines& body) {
  std::vector<LogItem> items;
  for (const std::string& line : body) {
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) {
      items.push_back({line, "", ""});
      continue;
    }
    const std::string label = line.substr(0, colon);
    const std::string path = line.substr(colon + 2);
    if ((label == "to" || label == "and") && !items.empty()) {
      items.back().counterPath = path;
    } else {
      items.push_back({label, path, ""});
    }
  }
  return items;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

class FaultSweep : public RunTest, public testing::WithParamInterface<SweepJob> {
 protected:
  // --- The jobs -------------------------------------------------------------

  // Removes a tree, read-only files included (Windows refuses to delete
  // those).
  void RemoveTree(const std::string& folder) const {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(drives_.Native(folder), error)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
    }
    fs::remove_all(drives_.Native(folder));
  }

  void SetUpJob() {
    platform_.Reset();  // the last run's faults must not strike the setup
    RemoveTree("S:\\Data");
    RemoveTree("T:\\Backup");
    fs::remove(drives_.Native("U:\\run.log"));
    Recorder() = CallbackRecorder();
    platform_.beforeCopy = nullptr;
    ui_.interruptAtCopyRow = 0;
    ui_.onOverview = nullptr;
    job_ = Job();
    const std::string name = GetParam().setup ? GetParam().setup : GetParam().name;
    if (name == "OneWayErasingOrphans") OneWay();
    if (name == "TwoWay") TwoWay();
    if (name == "GenerationRotation") Rotation();
    if (name == "ConfirmEachFileWithAnswers") ConfirmEach();
    if (name == "OverviewAndInterrupt") Overview();
    if (name == "SymbolicLinks") SymbolicLinks();
    if (name == "Modes") Modes();
    if (name == "SharedGenerations") SharedGenerations();
    if (LongSweep()) MoreFiles();
    // The calls made to set the trees up are not the run's.
    platform_.Reset();
    platform_.realStaging = GetParam().staged;
  }

  // Retry a failed copy once, then skip it: a fault that struck once is
  // then healed by the retry.
  void RetryOnceThenSkip() {
    job_.warnings = TOLVEX_WARN_ASK;
    Recorder().copyErrorBy = [](const FileQuestion& q) {
      const auto& asked = Recorder().copyErrors;
      const auto times = std::count_if(asked.begin(), asked.end(),
                                       [&q](const FileQuestion& o) { return o.path == q.path; });
      return times == 1 ? TOLVEX_COPY_RETRY : TOLVEX_COPY_SKIP;
    };
  }

  void OneWay() {
    Write("S:\\Data\\a.txt", "new a", kNew);
    Write("T:\\Backup\\Data\\a.txt", "old a", kOld);
    Write("S:\\Data\\Docs\\b.txt", "new b", kNew);
    Write("S:\\Data\\c.txt", "new c", kNew);
    Write("T:\\Backup\\Data\\c.txt", "old c", kOld);
    ASSERT_EQ(Sys().SetAttributes("T:\\Backup\\Data\\c.txt", kAttrReadOnly), kErrOk);
    Write("S:\\Data\\same.txt", "same", kOld);
    Write("T:\\Backup\\Data\\same.txt", "same", kOld);
    Write("T:\\Backup\\Data\\x.txt", "orphan x", kOld);
    Write("T:\\Backup\\Data\\Gone\\y.txt", "orphan y", kOld);
    drives_.MakeDirs("T:\\Backup\\Data\\Empty");
    job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
    job_.deleteDestDirs = 1;
    job_.attributes = TOLVEX_ATTR_OVERWRITE_READONLY;
    RetryOnceThenSkip();
  }

  void TwoWay() {
    Write("S:\\Data\\a.txt", "a from S", kNew);
    Write("T:\\Backup\\Data\\a.txt", "a from T", kOld);
    Write("S:\\Data\\b.txt", "b from S", kOld);
    Write("T:\\Backup\\Data\\b.txt", "b from T", kNew);
    Write("S:\\Data\\s.txt", "only S, new", kNew);
    Write("T:\\Backup\\Data\\t.txt", "only T, deleted on S", kOld);
    Write("T:\\Backup\\Data\\Sub\\d.txt", "only T, new", kNew);
    job_.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
    job_.orphanModeB = TOLVEX_ORPHAN_ERASE;
    job_.lastUpdate = Stamp(1999, 3, 13, 12, 0);
    job_.createSrcDirs = 1;
  }

  void Rotation() {
    Write("T:\\Backup\\Grandson\\a.txt", "v3", kOld);
    Write("T:\\Backup\\Son\\a.txt", "v2", kOld);
    Write("T:\\Backup\\Father\\a.txt", "v1", kOld);
    Write("S:\\Data\\a.txt", "v4", kNew);
    Write("S:\\Data\\n.txt", "n", kNew);
    job_.varyMode = TOLVEX_VARY_GENERATIONS;
    job_.pathMode = TOLVEX_PATH_RELATIVE;
  }

  void ConfirmEach() {
    Write("S:\\Data\\a.txt", "new a", kNew);
    Write("T:\\Backup\\Data\\a.txt", "old a", kOld);
    Write("S:\\Data\\b.txt", "new b", kNew);
    Write("T:\\Backup\\Data\\b.txt", "old b", kOld);
    Write("S:\\Data\\c.txt", "new c", kNew);
    Write("S:\\Data\\d.txt", "new d", kNew);
    Write("T:\\Backup\\Data\\x.txt", "orphan x", kOld);
    Write("T:\\Backup\\Data\\y.txt", "orphan y", kOld);
    job_.confirmMode = TOLVEX_CONFIRM_MODE_EACH_FILE;
    job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
    // Answers by file, whatever order the questions come in.
    Recorder().confirmBy = [](const FileQuestion& q) {
      static const std::map<std::string, int> answers = {
          {"S:\\Data\\a.txt", TOLVEX_CONFIRM_NORMAL},
          {"S:\\Data\\b.txt", TOLVEX_CONFIRM_INVERT},
          {"S:\\Data\\c.txt", TOLVEX_CONFIRM_IGNORE},
          {"T:\\Backup\\Data\\x.txt", TOLVEX_CONFIRM_ERASE},
          {"T:\\Backup\\Data\\y.txt", TOLVEX_CONFIRM_IGNORE},
      };
      const auto found = answers.find(q.path);
      return found != answers.end() ? found->second : TOLVEX_CONFIRM_ASK_NO_MORE;
    };
    RetryOnceThenSkip();
  }

  void Overview() {
    for (const char* name : {"a", "b", "c", "d"}) {
      Write(std::string("S:\\Data\\") + name + ".txt", std::string("new ") + name, kNew);
      Write(std::string("T:\\Backup\\Data\\") + name + ".txt", std::string("old ") + name, kOld);
    }
    Write("T:\\Backup\\Data\\x.txt", "orphan x", kOld);
    job_.confirmMode = TOLVEX_CONFIRM_MODE_OVERVIEW;
    job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
    ui_.onOverview = [](Plan& plan) {  // the user's changes in the overview, by file
      for (CANDIDATE& c : plan.candidates) {
        if (c.name == "b") c.state = ReplaceAction(c.state, STATE_IGNORE);
        if (c.name == "c") c.state = ReplaceAction(c.state, STATE_INVERT);
      }
    };
    ui_.interruptAtCopyRow = 2;  // the copy after it is asked about, and skipped
  }

  // Sets the permission bits of a file or folder (POSIX).
  void SetModeOf(const std::string& path, unsigned mode) const {
#ifndef _WIN32
    ASSERT_EQ(chmod(drives_.Native(path).c_str(), mode), 0) << path;
#else
    (void)path;
    (void)mode;
#endif
  }

  // A link to a file, one to a folder and a dangling one, new in the
  // source; a pair of links whose texts differ at equal lengths and times
  // (the scan reads both to tell), an equal pair, an orphan link.
  void SymbolicLinks() {
#ifndef _WIN32
    const struct timespec old_time = {883'612'800, 0};  // 1998-01-01
    const auto link = [this](const std::string& text, const std::string& path,
                             const struct timespec& when) {
      drives_.MakeDirs(path.substr(0, path.rfind('\\')));
      ASSERT_EQ(symlink(text.c_str(), drives_.Native(path).c_str()), 0) << path;
      const struct timespec times[2] = {when, when};
      ASSERT_EQ(utimensat(AT_FDCWD, drives_.Native(path).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    Write("S:\\Data\\file.txt", "the file", kOld);
    Write("T:\\Backup\\Data\\file.txt", "the file", kOld);
    Write("S:\\Data\\Docs\\d.txt", "d", kOld);
    Write("T:\\Backup\\Data\\Docs\\d.txt", "d", kOld);
    link("file.txt", "S:\\Data\\to-file", {978'307'200, 0});
    link("Docs", "S:\\Data\\to-folder", {978'307'200, 0});
    link("no/such/file", "S:\\Data\\dangling", {978'307'200, 0});
    link("one/text", "S:\\Data\\changed", old_time);
    link("two/text", "T:\\Backup\\Data\\changed", old_time);
    link("file.txt", "S:\\Data\\same", old_time);
    link("file.txt", "T:\\Backup\\Data\\same", old_time);
    link("Docs", "T:\\Backup\\Data\\orphan", old_time);
    job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
    RetryOnceThenSkip();
#endif
  }

  // Files and folders whose modes differ: a new private file, a pair whose
  // modes alone differ, folders the run makes (one the owner cannot write,
  // filled and then closed), and an existing target folder the owner
  // cannot write, opened for a copy and closed again.
  void Modes() {
    Write("S:\\Data\\private.txt", "private", kNew);
    Write("S:\\Data\\mode.txt", "same", kOld);
    Write("T:\\Backup\\Data\\mode.txt", "same", kOld);
    SetModeOf("S:\\Data\\private.txt", 0600);
    SetModeOf("S:\\Data\\mode.txt", 0640);
    SetModeOf("T:\\Backup\\Data\\mode.txt", 0644);
    Write("S:\\Data\\Secret\\key.txt", "key", kNew);
    SetModeOf("S:\\Data\\Secret", 0700);
    Write("S:\\Data\\Locked\\in.txt", "in", kNew);
    SetModeOf("S:\\Data\\Locked", 0500);
    Write("S:\\Data\\Closed\\new.txt", "new in closed", kNew);
    Write("T:\\Backup\\Data\\Closed\\old.txt", "old in closed", kOld);
    SetModeOf("S:\\Data\\Closed", 0500);
    SetModeOf("T:\\Backup\\Data\\Closed", 0500);
    RetryOnceThenSkip();
  }

  // The rotation with generations sharing unchanged files: the new
  // Grandson (the old Father) is filled by links to Son (the old Grandson)
  // where a file is unchanged, by copies elsewhere; a file whose mode alone
  // changed is a name Father shares with the old Son, and must not change
  // Father's version.
  void SharedGenerations() {
    Rotation();
    Write("S:\\Data\\same.txt", "same", kOld);
    Write("T:\\Backup\\Grandson\\same.txt", "same", kOld);
    Write("S:\\Data\\Sub\\s.txt", "s", kOld);
    Write("T:\\Backup\\Grandson\\Sub\\s.txt", "s", kOld);
#ifndef _WIN32
    Write("S:\\Data\\mode.txt", "mode", kOld);
    Write("T:\\Backup\\Grandson\\mode.txt", "mode", kOld);
    Write("T:\\Backup\\Son\\mode.txt", "mode", kOld);
    fs::create_hard_link(drives_.Native("T:\\Backup\\Son\\mode.txt"),
                         drives_.Native("T:\\Backup\\Father\\mode.txt"));
    SetModeOf("S:\\Data\\mode.txt", 0600);
    SetModeOf("T:\\Backup\\Grandson\\mode.txt", 0600);
    SetModeOf("T:\\Backup\\Son\\mode.txt", 0644);
#endif
    SetShareUnchanged(1);
  }

  // The long sweep: a wider tree under the same job.
  void MoreFiles() {
    for (int k = 0; k < 12; ++k) {
      const std::string name = "More\\m" + std::to_string(k) + ".txt";
      Write("S:\\Data\\" + name, "new " + name, kNew);
      if (k % 2 == 0) Write(GetParam().counterpartPrefix + name, "old " + name, kOld);
    }
  }

  // --- What the trees hold ----------------------------------------------------

  TreeState Capture() const {
    TreeState state;
    for (const char letter : {'S', 'T'}) {
      const std::string root = drives_.Native(std::string(1, letter) + ":\\");
      std::error_code error;
      for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
           it.increment(error)) {
        // Lexical: fs::relative would resolve a link to what it leads to.
        std::string relative = it->path().lexically_relative(root).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        const std::string path = std::string(1, letter) + ":\\" + relative;
        if (it->is_symlink()) {
          state[path] = kLinkMark + fs::read_symlink(it->path(), error).string();
        } else if (it->is_directory()) {
          state[path + "\\"] = kFolderMark + ModeText(it->path());
        } else {
          state[path] = Read(path) + ModeText(it->path());
        }
      }
    }
    return state;
  }

  // The mode of a file or folder as Capture writes it (POSIX; "" elsewhere).
  static std::string ModeText(const fs::path& native) {
#ifndef _WIN32
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0) return std::string(kModeMark) + "?>";
    std::ostringstream text;
    text << kModeMark << std::oct << (st.st_mode & 07777) << ">";
    return text.str();
#else
    (void)native;
    return "";
#endif
  }

  // --- One run and its checks -------------------------------------------------

  struct Outcome {
    TreeState state;
    Lines body;
    std::vector<NotifyCall> notifications;
    std::vector<FileQuestion> copyErrors;
  };

  Outcome RunJob() {
    Outcome outcome;
    const int result = Run();
    outcome.state = Capture();
    outcome.notifications = Recorder().notifications;
    outcome.copyErrors = Recorder().copyErrors;
    // A log that could not be opened or lost a write (the run said so) has
    // no whole body to read.
    const bool log_failed =
        std::any_of(outcome.notifications.begin(), outcome.notifications.end(),
                    [](const NotifyCall& call) { return call.code == TOLVEX_NOTIFY_LOG_FAILED; });
    // A run refused because another holds the destination writes no log.
    const bool refused =
        std::any_of(outcome.notifications.begin(), outcome.notifications.end(),
                    [](const NotifyCall& c) { return c.code == TOLVEX_NOTIFY_DESTINATION_BUSY; });
    if (refused) {
      EXPECT_FALSE(Exists(job_.logFile)) << "a refused run wrote a log";
    } else if (!log_failed) {
      outcome.body = LogBody();
    }
    EXPECT_EQ(result, 1) << "no answer of these jobs aborts";
    return outcome;
  }

  // A difference from the clean run needs no line of its own when the run
  // said, as a whole, that it did not do its work.
  bool RunWideReason(const Outcome& run) const {
    for (const NotifyCall& call : run.notifications) {
      if (call.code == TOLVEX_NOTIFY_DRIVE_NOT_FOUND || call.code == TOLVEX_NOTIFY_DESTINATION_BUSY ||
          call.code == TOLVEX_NOTIFY_LOG_FAILED || call.code == TOLVEX_NOTIFY_RUN_FAILED ||
          call.code == TOLVEX_NOTIFY_NO_SELECTIONS || call.code == TOLVEX_NOTIFY_IDENTICAL) {
        return true;
      }
    }
    return false;
  }

  bool Explained(const std::string& path, const Outcome& run,
                 const std::vector<LogItem>& items) const {
    if (RunWideReason(run)) return true;
    const std::string counterpart = CounterpartOf(path);
    const auto names = [&](std::string reported) {
      if (!reported.empty() && reported.back() == '*') reported.pop_back();  // a selection
      // The file itself or its counterpart, a folder above it, or (for a
      // folder) a file in it.
      const bool folder = path.back() == '\\';
      return !reported.empty() &&
             (reported == path || reported == counterpart || StartsWith(path, reported) ||
              StartsWith(counterpart, reported) ||
              (folder && (StartsWith(reported, path) || StartsWith(reported, counterpart))));
    };
    for (const LogItem& item : items) {
      if (item.label == "Rotation blocked" && GetParam().rotation) return true;
      if ((item.label == "Unreadable folder" || item.label == "Missing folder") &&
          names(item.path)) {
        return true;
      }
      if ((item.label == "Error at copying" || item.label == "Error at erasing" ||
           item.label == "File skipped") &&
          (names(item.path) || names(item.counterPath))) {
        return true;
      }
    }
    for (const FileQuestion& q : run.copyErrors) {
      if (names(q.path) || names(q.counterPath)) return true;
    }
    return false;
  }

  // The counterpart of a path on the other side (itself where there is none).
  std::string CounterpartOf(const std::string& path) const {
    const std::string source = "S:\\Data\\";
    const std::string target = GetParam().counterpartPrefix;
    if (StartsWith(path, source)) return target + path.substr(source.size());
    if (StartsWith(path, target)) return source + path.substr(target.size());
    return path;
  }

  // The log and the notifications of a run, for a failure's message.
  static std::string Context(const Outcome& run) {
    std::ostringstream text;
    text << "\n  log:";
    for (const std::string& line : run.body) text << "\n    " << line;
    text << "\n  NotifyProc:";
    for (const NotifyCall& call : run.notifications) text << " " << call.code;
    return text.str();
  }

  void CheckRun(const Outcome& run, const std::set<std::string>& vanished) {
    const std::vector<LogItem> items = Items(run.body);
    // No partial target, no temporary file.
    for (const auto& [path, content] : run.state) {
      const size_t slash = path.find_last_of('\\', path.size() - 2);
      EXPECT_FALSE(IsTemporaryName(path.substr(slash + 1))) << "left behind: " << path;
    }
    // Every path is as before or as after the clean run, and differences
    // from the clean run are explained.
    std::set<std::string> paths;
    for (const TreeState* state : std::initializer_list<const TreeState*>{&before_, &clean_, &run.state}) {
      for (const auto& entry : *state) paths.insert(entry.first);
    }
    for (const std::string& path : paths) {
      if (vanished.count(path) != 0) continue;  // the user's own deletion
      if (GetParam().rotation && StartsWith(path, "T:\\Backup\\")) continue;  // below
      const auto now = run.state.find(path);
      const auto was = before_.find(path);
      const auto clean = clean_.find(path);
      const auto same = [&now, &run](TreeState::const_iterator other, const TreeState& state) {
        return now == run.state.end() ? other == state.end()
                                      : other != state.end() && other->second == now->second;
      };
      const bool as_before = same(was, before_);
      const bool as_clean = same(clean, clean_);
      // A folder the run made or opened may keep another mode where a
      // copy error names that very folder (its mode was not given).
      const bool folder_mode_told =
          path.back() == '\\' && now != run.state.end() && clean != clean_.end() &&
          ContentOf(now->second) == ContentOf(clean->second) &&
          std::any_of(items.begin(), items.end(), [&path](const LogItem& item) {
            return item.label == "Error at copying" && item.counterPath == path;
          });
      EXPECT_TRUE(as_before || as_clean || folder_mode_told)
          << path << " holds " << (now == run.state.end() ? "nothing" : now->second)
          << Context(run);
      if (!as_clean) {
        EXPECT_TRUE(Explained(path, run, items))
            << path << " differs from the run without a fault, and nothing says why"
            << Context(run);
      }
    }
    if (GetParam().rotation) CheckGenerations(run, items);
    // The log tells the truth.
    for (const LogItem& item : items) {
      if (item.label == "File copied") {
        const auto from = run.state.find(item.path);
        const auto to = run.state.find(item.counterPath);
        EXPECT_TRUE(from != run.state.end() && to != run.state.end() && from->second == to->second)
            << "logged as copied: " << item.path << " to " << item.counterPath;
      }
      if (item.label == "File erased" || item.label == "Directory deleted") {
        EXPECT_EQ(run.state.count(item.path), 0u) << "logged as gone: " << item.path;
      }
    }
  }

  // The generations under T:\Backup\ by name: each one's entries (path
  // below it -> what Capture holds).
  static std::map<std::string, TreeState> Generations(const TreeState& state) {
    const std::string backup = "T:\\Backup\\";
    std::map<std::string, TreeState> generations;
    for (const auto& [path, value] : state) {
      if (!StartsWith(path, backup)) continue;
      const std::string below = path.substr(backup.size());
      const size_t slash = below.find('\\');
      if (slash == std::string::npos || slash + 1 == below.size()) continue;
      generations[below.substr(0, slash)][below.substr(slash + 1)] = value;
    }
    return generations;
  }

  // The rotation: every version of a.txt that existed before the run
  // still exists after it, and every generation whole (each file's content
  // and mode, shared names included), but for at most one (the generation
  // the run renews); nothing appears there that the trees did not hold
  // before; Grandson's new files are whole.
  void CheckGenerations(const Outcome& run, const std::vector<LogItem>& items) {
    std::set<std::string> contents;
    for (const auto& entry : before_) contents.insert(ContentOf(entry.second));
    std::multiset<std::string> versions;
    for (const auto& [path, value] : run.state) {
      if (!StartsWith(path, "T:\\Backup\\") || StartsWith(value, kFolderMark)) continue;
      EXPECT_EQ(contents.count(ContentOf(value)), 1u) << path << " holds " << value;
      if (path.size() >= 6 && path.substr(path.size() - 6) == "\\a.txt") {
        versions.insert(ContentOf(value));
      }
    }
    int lost = 0;
    for (const char* version : {"v1", "v2", "v3"}) lost += versions.count(version) == 0 ? 1 : 0;
    EXPECT_LE(lost, 1) << "generations lost";
    if (lost == 1) {
      EXPECT_EQ(versions.count("v4"), 1u) << "a generation was given up for a copy not made";
    }
    const std::map<std::string, TreeState> was = Generations(before_);
    const std::map<std::string, TreeState> now = Generations(run.state);
    int changed = 0;
    for (const auto& generation : was) {
      const TreeState& entries = generation.second;
      const bool whole = std::any_of(now.begin(), now.end(),
                                     [&entries](const auto& after) { return after.second == entries; });
      if (!whole) ++changed;
    }
    EXPECT_LE(changed, 1) << "more than the renewed generation changed" << Context(run);
    TreeState generations;
    TreeState clean_generations;
    for (const auto& entry : run.state) {
      if (StartsWith(entry.first, "T:\\Backup\\")) generations.insert(entry);
    }
    for (const auto& entry : clean_) {
      if (StartsWith(entry.first, "T:\\Backup\\")) clean_generations.insert(entry);
    }
    if (generations != clean_generations) {
      bool explained = RunWideReason(run);
      for (const LogItem& item : items) {
        explained = explained || item.label == "Rotation blocked" ||
                    item.label == "Error at copying" || item.label == "Unreadable folder";
      }
      explained = explained || !run.copyErrors.empty();
      EXPECT_TRUE(explained) << "the generations differ from the run without a fault";
    }
  }

  TreeState before_;
  TreeState clean_;
};

TEST_P(FaultSweep, EveryCallFailedAtEveryPositionLosesNothingAndIsReported) {
#ifdef _WIN32
  if (GetParam().posixOnly) GTEST_SKIP() << "symbolic links and modes are POSIX features";
#endif
  // The run without a fault: the calls to fail, and what the trees hold.
  SetUpJob();
  before_ = Capture();
  platform_.completions = 0;
  const Outcome reference = RunJob();
  clean_ = reference.state;
  // The run without a fault keeps the rules too (its log, the generations).
  CheckRun(reference, {});
  ASSERT_NE(before_, clean_) << "the job does nothing";
#ifndef _WIN32
  if (GetParam().staged) {
    ASSERT_GT(platform_.completions, 0) << "the back end put no staged copy in place";
  }
#endif
  std::map<CallKind, uint64_t> calls;
  for (const KindErrors& kind : SweptKinds()) calls[kind.kind] = platform_.calls(kind.kind);
  for (const CallKind kind : GetParam().reaches) {
#ifdef _WIN32
    if (kind != CallKind::kLinkOver) continue;
#endif
    EXPECT_GT(calls[kind], 0u) << "the job never reaches " << CallKindName(kind);
  }
  const uint64_t copies = platform_.calls(CallKind::kCopyOver);

  const std::vector<FaultInjectingPlatform::Repeat> repeats =
      LongSweep() ? std::vector{FaultInjectingPlatform::Repeat::kOnce,
                                FaultInjectingPlatform::Repeat::kFromThenOn}
                  : std::vector{FaultInjectingPlatform::Repeat::kOnce};
  std::ostringstream report;
  uint64_t points = 0;
  for (const KindErrors& kind : SweptKinds()) {
    const uint64_t positions = calls[kind.kind];
    if (positions == 0) continue;
    report << " " << CallKindName(kind.kind) << " " << positions << "x" << kind.errors.size();
    for (const uint32_t error : kind.errors) {
      for (const FaultInjectingPlatform::Repeat repeat : repeats) {
        for (uint64_t n = 1; n <= positions; ++n) {
          SCOPED_TRACE(testing::Message() << CallKindName(kind.kind) << " call " << n
                                          << " fails with " << error
                                          << (repeat == FaultInjectingPlatform::Repeat::kOnce
                                                  ? ""
                                                  : " from then on"));
          SetUpJob();
          platform_.FailCall(kind.kind, n, error, repeat);
          const Outcome run = RunJob();
          EXPECT_GT(platform_.fired(), 0u) << "the call did not come";
          CheckRun(run, {});
          ++points;
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  // A source file deleted between the scan and its copy.
  report << " vanished " << copies;
  for (uint64_t n = 1; n <= copies; ++n) {
    SCOPED_TRACE(testing::Message() << "the source of copy " << n << " vanished");
    SetUpJob();
    std::set<std::string> vanished;
    platform_.beforeCopy = [&](int call, const std::string& from, const std::string&) {
      if (static_cast<uint64_t>(call) != n) return;
      std::error_code error;
      fs::remove(drives_.Native(from), error);
      vanished.insert(from);
    };
    const Outcome run = RunJob();
    CheckRun(run, vanished);
    ++points;
  }
#ifndef _WIN32
  // Faults under the real staging: in the middle of a staged copy's data,
  // and before a staged copy's rename into place, at each copy that passes
  // the point in turn until none is left.
  if (GetParam().staged) {
    struct UnderStaging {
      posix::CopyFaultPoint point;
      const char* name;
      int error;
    };
    const UnderStaging kPoints[] = {
        {posix::CopyFaultPoint::kDuringData, "data", ENOSPC},
        {posix::CopyFaultPoint::kBeforeRename, "rename", EIO},
    };
    for (const UnderStaging& under : kPoints) {
      uint64_t struck = 0;
      for (uint64_t n = 1;; ++n) {
        SCOPED_TRACE(testing::Message() << "copy " << n << " through the staging fails at its "
                                        << under.name << " with errno " << under.error);
        SetUpJob();
        posix::InjectCopyFaultForTesting(posix::CopyFault{under.point, 0, under.error, n - 1});
        const Outcome run = RunJob();
        const bool passed_by = posix::CopyFaultArmedForTesting();
        posix::ClearCopyFaultForTesting();
        if (passed_by) break;  // fewer copies than n reached the point
        ++struck;
        CheckRun(run, {});
        ++points;
        if (HasFatalFailure()) return;
      }
      EXPECT_GT(struck, 0u) << "no copy of the job reached the " << under.name;
      report << " staged " << under.name << " " << struck;
    }
  }
#endif
  std::cout << "[ sweep    ] " << GetParam().name << ": " << points << " faulty runs;"
            << report.str() << "\n";
}

INSTANTIATE_TEST_SUITE_P(Jobs, FaultSweep, testing::ValuesIn(kJobs),
                         [](const testing::TestParamInfo<SweepJob>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tolvex::runtest
