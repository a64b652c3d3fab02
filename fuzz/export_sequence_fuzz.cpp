// Export sequences: random configuration calls with random values through
// the library's C exports, then CallUpdate on a small tree, with the
// callbacks' answers, the overview's answer, a Cancel and an Interrupt at
// moments the input decides.
//
// The run only ever sees the sandbox: the drive table maps S: (sources), T:
// (destination) and U: (the log) to folders inside one temporary folder and
// nothing else, so every other letter, Z: included, does not exist; HOME and
// XDG_CONFIG_HOME (the profile) lie inside it too. The tree is made anew for
// every input. After each run:
//   - nothing changed outside what the job names: the include selections
//     (the folder, or all below it with "*"), the destination folder and
//     the log file; only folders on the way to them may be created;
//   - no temporary file of the copy is left;
//   - every file the run wrote holds the whole content some file had
//     before the run (no partial target);
//   - the log is well-formed: CR LF after every line and nowhere else, a
//     header and a footer;
//   - a dry run (SetDryRun) changed nothing at all.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/run_ui.h"
#include "fuzz/library_state.h"
#include "fuzz/path_texts.h"
#include "fuzz/sandbox.h"
#include "include/tolvex32.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "model/run_extension.h"
#include "platform/platform.h"
#include "platform/reserved_names.h"
#include "platform/stop_request.h"
#include "platform/text_rules.h"

namespace tolvex::fuzz {
namespace {

constexpr int64_t k1999 = 921000000;  // 9 March 1999
const std::string kRule(110, '-');

FuzzedDataProvider* answers = nullptr;  // the input's rest, for the callbacks

template <size_t N>
int Pick(const int (&choices)[N]) {
  // An exhausted input gives index 0: each list starts with its "no change".
  return choices[answers->ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// --- The platform and the dialogs -------------------------------------------

class FuzzPlatform final : public PlatformWrapper {
 public:
  FuzzPlatform() : PlatformWrapper(&DefaultPlatform()) {}

  LocalTime Now() override { return now; }
  void Beep(uint32_t) override {}
  bool ShellOpen(const std::string& target) override {
    Violation("the run opened \"" + target + "\"");
  }
  bool ShowHelp(const std::string& file, uint32_t) override {
    Violation("the run opened the help \"" + file + "\"");
  }
  bool TakeOneMessage() override {
    // Cancel, as a stop request: the run takes it as its Aborted at this step.
    if (++steps == cancel_at_step) RequestStop();
    return false;
  }
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override {
    const uint32_t error = PlatformWrapper::DiskFreeSpace(root, free_bytes);
    const auto fake = free_space.find(root.empty() ? 0 : root[0]);
    if (error == kErrOk && fake != free_space.end()) *free_bytes = fake->second;
    return error;
  }

  LocalTime now{1999, 3, 14, 14, 3, 59, 0};
  int steps = 0;
  int cancel_at_step = 0;  // 0: never
  std::map<char, uint64_t> free_space;
};

class InterruptingCopy final : public CopyProgressView {
 public:
  InterruptingCopy(int* rows_left, Plan& plan) : rows_left_(rows_left), plan_(plan) {}
  void ShowCopyRow(const std::string&, const std::string&, const std::string&) override {
    if (*rows_left_ > 0 && --*rows_left_ == 0) plan_.InterruptRequest = true;
  }
  void ShowToRow(const std::string&, const std::string&, const std::string&) override {}
  void SetGaugePosition(int) override {}
  void EnableInterrupt() override {}

 private:
  int* rows_left_;
  Plan& plan_;
};

class FuzzRunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string&, Plan&) override {
    return std::make_unique<NullSearchProgress>();
  }
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string&, Plan& plan) override {
    return std::make_unique<InterruptingCopy>(&interrupt_at_row, plan);
  }
  OverviewAnswer RunOverview(const OverviewRequest&) override { return {overview_confirms, false}; }

  int interrupt_at_row = 0;  // the copy row at which Interrupt is pressed (0: never)
  bool overview_confirms = true;
};

// --- The callbacks ------------------------------------------------------------

bool make_folders = true;

int TOLVEX_CALLBACK Notify(int, int, int) {
  static const int kAnswers[] = {TOLVEX_NOTIFY_OK, TOLVEX_NOTIFY_YES, TOLVEX_NOTIFY_NO, 0, -1};
  return Pick(kAnswers);
}

int TOLVEX_CALLBACK Confirm(const char*, const char*, uint32_t, uint32_t, uint32_t, uint32_t,
                            int) {
  static const int kAnswers[] = {TOLVEX_CONFIRM_NORMAL,       TOLVEX_CONFIRM_IGNORE,
                                 TOLVEX_CONFIRM_ERASE,        TOLVEX_CONFIRM_INVERT,
                                 TOLVEX_CONFIRM_IGNORE_GROUP, TOLVEX_CONFIRM_ASK_NO_MORE,
                                 TOLVEX_CONFIRM_ABORT,        0,
                                 99};
  return Pick(kAnswers);
}

int TOLVEX_CALLBACK CopyError(const char*, const char*, uint32_t, uint32_t, uint32_t, uint32_t,
                              uint32_t) {
  // Skip first: once the input is used up, a failure that lasts is skipped
  // instead of retried for ever.
  static const int kAnswers[] = {TOLVEX_COPY_SKIP,  TOLVEX_COPY_RETRY, TOLVEX_COPY_SKIP_GROUP,
                                 TOLVEX_COPY_ERASE, TOLVEX_COPY_ABORT, 0};
  return Pick(kAnswers);
}

// A front end creates the folder with its parents, or (by the input) nothing.
int TOLVEX_CALLBACK MakeDir(const char* folder) {
  if (!make_folders || folder == nullptr) return 0;
  const std::string text = folder;
  for (size_t at = 3; at <= text.size(); ++at) {
    if (at < text.size() && text[at] != '\\') continue;
    if (text[at - 1] != '\\') Sys().MakeFolder(text.substr(0, at));
  }
  return 0;
}

// --- The tree -----------------------------------------------------------------

// Makes the tree anew: a few files always, the others and the dates as the
// bits of `shape` say. Every file holds its own content.
void MakeTree(const Sandbox& sandbox, uint32_t shape) {
  for (const char letter : {'S', 'T', 'U'}) sandbox.Clear(letter);
  const struct {
    char letter;
    const char* path;
    bool read_only;
  } files[] = {
      {'S', "Data/a.txt", false},       {'S', "Data/b.doc", false},
      {'S', "Data/Sub/c.txt", false},   {'S', "Data/Cache/d.tmp", false},
      {'S', "Data/.dot", false},        {'S', "Data/D\xC3\xA4t\xC3\xA4.txt", false},
      {'S', "Data/ro.txt", true},       {'S', "Other/e.txt", false},
      {'T', "Backup/Data/a.txt", false}, {'T', "Backup/Data/x.txt", false},
      {'T', "Backup/Data/Sub/c.txt", false}, {'T', "Backup/Data/ro.txt", true},
      {'T', "Backup/Data/Cache/d.tmp", false}, {'T', "Backup/Son/s.txt", false},
      {'T', "Backup/Grandfather/g.txt", false}, {'T', "Keep/k.txt", false},
      {'U', "notes.txt", false},
  };
  int bit = 0;
  for (const auto& file : files) {
    const bool always = bit < 2;
    const uint32_t bits = shape >> ((bit * 2) % 32);
    ++bit;
    if (!always && (bits & 1) == 0) continue;
    const std::string native = sandbox.Root(file.letter) + "/" + file.path;
    // Two dates a week apart, so that the same name is older on one side.
    const int64_t date = k1999 + ((bits & 2) ? 7 * 86400 : 0);
    sandbox.WriteFile(native, std::string(1, file.letter) + ":" + file.path + " content", date,
                      file.read_only);
  }
}

// --- The export calls ---------------------------------------------------------

int32_t IntValue(FuzzedDataProvider& input) {
  static const int32_t kValues[] = {0, 1, 2, 3, 4, 5, -1, 0x40, 0x80, 0xC0, 0x17, 0xFF, 0x100,
                                    INT32_MIN, INT32_MAX};
  if (input.ConsumeIntegralInRange(0, 3) == 0) return input.ConsumeIntegral<int32_t>();
  return kValues[input.ConsumeIntegralInRange<size_t>(0, std::size(kValues) - 1)];
}

// A separator: the usual ones, the bytes a log line must not hold, any.
int32_t CharValue(FuzzedDataProvider& input) {
  static const int32_t kValues[] = {'.', ':', '/', 0, '\n', '\r', 0x85, 0x7F, 0x100 + '-'};
  if (input.ConsumeIntegralInRange(0, 3) == 0) return input.ConsumeIntegral<int32_t>();
  return kValues[input.ConsumeIntegralInRange<size_t>(0, std::size(kValues) - 1)];
}

uint32_t StampValue(FuzzedDataProvider& input) {
  static const uint32_t kStamps[] = {0, 0xFFFFFFFF, 0x266E8000 /* 1999-03-14 */,
                                     0x26690000 /* 1999-03-09 */, 0x21210000};
  if (input.ConsumeBool()) return input.ConsumeIntegral<uint32_t>();
  return kStamps[input.ConsumeIntegralInRange<size_t>(0, std::size(kStamps) - 1)];
}

std::string FileText(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: return "U:\\run.log";
    case 1: return FolderText(input, "STU") + "run.log";
    case 2: return input.ConsumeRandomLengthString(64);
    default: return FolderText(input, "STU");
  }
}

std::string NameText(FuzzedDataProvider& input) {
  static const char* const kNames[] = {"Sunday", "Job", "", "..", "a\\b", "\r\nforged line",
                                       "%s%n", "D\xC3\xA4t\xC3\xA4"};
  if (input.ConsumeBool()) return input.ConsumeRandomLengthString(80);
  return kNames[input.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
}

using IntSetter = void(TOLVEX_CALL*)(int32_t);
using UintSetter = void(TOLVEX_CALL*)(uint32_t);
using TextSetter = void(TOLVEX_CALL*)(const char*);

const IntSetter kIntSetters[] = {
    SetVaryMode,     SetConfirmMode,    SetSortMode,      SetReverse,        SetPathMode,
    SetAttributes,   SetTouchMode,      SetOrphanModeD1,  SetOrphanModeD2,   SetOrphanModeB,
    SetOrphanModeS1, SetOrphanModeS2,   SetWarnings,      SetCreateSrcDirs,  SetCreateDestDirs,
    SetDeleteSrcDirs, SetDeleteDestDirs, SetCheckSizes,   SetLogActive,      SetLogDateTime,
    SetLogDetails,   SetLogAppend,      SetDisplayMode,   SetSizeFilter,     SetDoubleFilter,
    SetMidnight};
const IntSetter kCharSetters[] = {SetDateSeparator, SetTimeSeparator};
const UintSetter kUintSetters[] = {SetLeastDate, SetLastUpdate, SetBlockColor1, SetBlockColor2};
const TextSetter kFolderSetters[] = {SetDInclSel, SetDExclSel, SetDestination};
const TextSetter kPatternSetters[] = {SetFInclSel, SetFExclSel};
const TextSetter kFileSetters[] = {SetLogFile};
const TextSetter kNameSetters[] = {SetFilename, SetWeekday};
void(TOLVEX_CALL* const kClears[])() = {ClearDInclSels, ClearDExclSels, ClearFInclSels,
                                        ClearFExclSels};

// Every configuration export of the export table (ordinals 1 to 44) is in
// one of the lists above, so that a new one cannot be left out of the
// sequences.
void CheckEveryConfigurationExportIsCalled() {
  using AnyFunction = void (*)(void);
  std::set<AnyFunction> called;
  const auto note = [&](const auto& setters) {
    for (const auto setter : setters) called.insert(reinterpret_cast<AnyFunction>(setter));
  };
  note(kIntSetters);
  note(kCharSetters);
  note(kUintSetters);
  note(kFolderSetters);
  note(kPatternSetters);
  note(kFileSetters);
  note(kNameSetters);
  note(kClears);
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters)              \
  if ((ordinal) < 45 && called.count(reinterpret_cast<AnyFunction>(&::name)) == 0) {     \
    Violation("the export sequences never call " #name);                                 \
  }
#include "include/tolvex32_exports.h"
}

// One export call with a value from the input.
void CallOneExport(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 8)) {
    case 0:
    case 1:
      kIntSetters[input.ConsumeIntegralInRange<size_t>(0, std::size(kIntSetters) - 1)](
          IntValue(input));
      return;
    case 2:
      if (input.ConsumeBool()) {
        kCharSetters[input.ConsumeBool() ? 1 : 0](CharValue(input));
        return;
      }
      kUintSetters[input.ConsumeIntegralInRange<size_t>(0, std::size(kUintSetters) - 1)](
          StampValue(input));
      return;
    case 3:
    case 4:
      kFolderSetters[input.ConsumeIntegralInRange<size_t>(0, std::size(kFolderSetters) - 1)](
          FolderText(input, "STU").c_str());
      return;
    case 5:
      kPatternSetters[input.ConsumeIntegralInRange<size_t>(0, std::size(kPatternSetters) - 1)](
          PatternText(input).c_str());
      return;
    case 6:
      kClears[input.ConsumeIntegralInRange<size_t>(0, std::size(kClears) - 1)]();
      return;
    case 7:
      // The extension's settings that change what a run does.
      switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0: SetDryRun(IntValue(input)); return;
        case 1: SetEmptyFolders(IntValue(input)); return;
        case 2: SetShareUnchanged(IntValue(input)); return;
        default: {
          const int32_t count = IntValue(input);
          SetEraseLimit(count, IntValue(input));
          return;
        }
      }
    default: {
      const int which = input.ConsumeIntegralInRange(0, 2);
      if (which == 0) {
        kFileSetters[0](FileText(input).c_str());
      } else {
        kNameSetters[which - 1](NameText(input).c_str());
      }
      return;
    }
  }
}

// A job that runs: S:\Data\ and below into T:\Backup\ with full paths, a log
// on U: with both sides of each entry. The input's calls change it.
void CallBaseJob() {
  SetFilename("Fuzz job");
  SetDInclSel("S:\\Data\\*");
  SetFInclSel("*.*");
  SetDestination("T:\\Backup\\");
  SetPathMode(TOLVEX_PATH_FULL);
  SetSortMode(TOLVEX_SORT_BY_NAME);
  SetOrphanModeD2(TOLVEX_ORPHAN_IGNORE);
  SetOrphanModeS2(TOLVEX_ORPHAN_IGNORE);
  SetCreateDestDirs(1);
  SetLogActive(1);
  SetLogDetails(2);
  SetLogFile("U:\\run.log");
  SetWeekday("Sunday");
  SetDateSeparator('.');
  SetTimeSeparator(':');
}

// --- The checks after a run ---------------------------------------------------

// What a job allows a run to change: its include selections, its
// destination folder and its log file.
class AllowedChanges {
 public:
  AllowedChanges(const Sandbox& sandbox, const TParameters& p) {
    for (const STRING& include : p.DInclSels) {
      const std::string& text = include.text();
      const bool star = !text.empty() && text.back() == '*';
      const std::string folder = sandbox.NativeOf(star ? text.substr(0, text.size() - 1) : text);
      if (folder.empty()) continue;
      (star ? subtrees_ : folders_).push_back(folder);
    }
    const std::string destination = sandbox.NativeOf(p.Destination);
    if (!destination.empty()) subtrees_.push_back(destination);
    if (p.LogActive) log_ = sandbox.NativeOf(p.LogFile);
  }

  const std::string& log() const { return log_; }

  // `native` (its state before and after) may have changed.
  bool Allows(const std::string& native, bool is_folder) const {
    if (!log_.empty() && LiesIn(native, log_) && LiesIn(log_, native)) return true;
    for (const std::string& folder : subtrees_) {
      if (LiesIn(native, folder)) return true;
    }
    const std::string parent = native.substr(0, native.find_last_of('/'));
    for (const std::string& folder : folders_) {
      if (LiesIn(native, folder) && LiesIn(folder, native)) return true;
      if (LiesIn(parent, folder) && LiesIn(folder, parent)) return true;
    }
    // The folders on the way to a selection or the destination.
    if (is_folder) {
      for (const auto* list : {&subtrees_, &folders_}) {
        for (const std::string& folder : *list) {
          if (LiesIn(folder, native)) return true;
        }
      }
    }
    return false;
  }

  // True when the log lies where the run may copy or erase files.
  bool LogInsideTheTrees() const { return !log_.empty() && Allows(log_, false) &&
                                          (Covers(subtrees_, true) || Covers(folders_, false)); }

 private:
  bool Covers(const std::vector<std::string>& folders, bool subtree) const {
    const std::string parent = log_.substr(0, log_.find_last_of('/'));
    for (const std::string& folder : folders) {
      if (subtree ? LiesIn(log_, folder) : (LiesIn(parent, folder) && LiesIn(folder, parent))) {
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> subtrees_;
  std::vector<std::string> folders_;
  std::string log_;
};

// A violation after a run, with the job that led to it.
[[noreturn]] void Fail(const std::string& what) { Violation(what + DescribeJob(Parameters)); }

bool SameEntry(const EntryState& a, const EntryState& b) {
  if (a.folder != b.folder) return false;
  // A folder's date changes with its entries, which are checked themselves.
  return a.folder ? a.mode == b.mode : a == b;
}

// A temporary file of the copy, or the run's lock, left by the run.
bool IsReservedLeftover(const std::string& native) {
  return IsReservedName(native.substr(native.find_last_of('/') + 1));
}

void CheckLog(const std::string& text) {
  if (text.empty()) return;
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    Fail("the log does not end with CR LF");
  }
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) {
      Fail("a log line holds a bare line break: \"" + line + "\"");
    }
  }
  if (lines.size() < 3 || !lines[0].empty() || lines[1] != kRule || lines.back() != kRule) {
    Fail("the log lacks its header or footer");
  }
}

void CheckRun(const Sandbox& sandbox, const TreeSnapshot& before, const TreeSnapshot& after,
              bool log_existed) {
  const AllowedChanges allowed(sandbox, Parameters);
  std::set<std::string> contents;
  for (const auto& [path, state] : before) {
    if (!state.folder) contents.insert(state.content);
  }
  const bool log_in_trees = allowed.LogInsideTheTrees();
  for (const auto& [path, state] : after) {
    const bool is_log = LiesIn(path, allowed.log()) && LiesIn(allowed.log(), path);
    const auto old = before.find(path);
    // A copy's temporary file or the run lock is new; a log (of this run or
    // an earlier one) or a folder may carry such a name when the job names
    // it so.
    if (!state.folder && !is_log && old == before.end() && IsReservedLeftover(path)) {
      Fail("a temporary file or the run lock was left: " + path);
    }
    if (old != before.end() && SameEntry(old->second, state)) continue;
    if (!allowed.Allows(path, state.folder)) Fail("changed outside the job: " + path);
    if (!state.folder && !is_log && !log_in_trees && contents.count(state.content) == 0) {
      Fail("a written file is no whole copy: " + path);
    }
  }
  for (const auto& [path, state] : before) {
    if (after.count(path) == 0 && !allowed.Allows(path, state.folder)) {
      Fail("removed outside the job: " + path);
    }
  }
  if (Extension.DryRun()) {
    // A dry run writes nothing at all: no copy, no log, no renamed folder.
    for (const auto& [path, state] : after) {
      const auto old = before.find(path);
      if (old == before.end() || !SameEntry(old->second, state)) Fail("a dry run changed " + path);
    }
    for (const auto& [path, state] : before) {
      if (after.count(path) == 0) Fail("a dry run removed " + path);
    }
  }
  if (allowed.log().empty() || log_existed || log_in_trees) return;
  for (const auto& [path, state] : after) {
    // The platform finds the log's name in any letter case.
    if (!state.folder && LiesIn(path, allowed.log()) && LiesIn(allowed.log(), path)) {
      CheckLog(state.content);
    }
  }
}

struct ExportSandbox {
  ExportSandbox() : sandbox("STU") {
    drive_table = std::getenv("TOLVEX_DRIVES");
    CheckEveryConfigurationExportIsCalled();
  }
  Sandbox sandbox;
  std::string drive_table;
};

void RunOnce(const ExportSandbox& box, FuzzPlatform& platform, bool log_existed) {
  // The table could only change if something in the process set it.
  const char* table = std::getenv("TOLVEX_DRIVES");
  if (table == nullptr || box.drive_table != table) Violation("the drive table changed");
  const TreeSnapshot before = SnapshotTree(box.sandbox.base());
  platform.steps = 0;
  const int32_t result = CallUpdate(Notify, Confirm, CopyError, MakeDir);
  if (result != 0 && result != 1) Fail("CallUpdate returned " + std::to_string(result));
  const TreeSnapshot after = SnapshotTree(box.sandbox.base());
  if (Verbose()) {
    std::fprintf(stderr, "---- run %d:%s\n", result, DescribeJob(Parameters).c_str());
    const auto log = after.find(box.sandbox.NativeOf(Parameters.LogFile));
    if (log != after.end()) std::fprintf(stderr, "%s", log->second.content.c_str());
  }
  CheckRun(box.sandbox, before, after, log_existed);
}

}  // namespace
}  // namespace tolvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvex;
  using namespace tolvex::fuzz;
  static const ExportSandbox box;
  static FuzzPlatform platform;
  static FuzzRunUi ui;
  FuzzedDataProvider input(data, size);
  answers = &input;
  MakeTree(box.sandbox, input.ConsumeIntegral<uint32_t>());

  FreshLibrary();
  SetSys(&platform);
  SetRunUi(&ui);
  platform.now.day = input.ConsumeBool() ? 14 : 13;
  platform.now.weekday = platform.now.day == 14 ? 0 : 6;
  platform.cancel_at_step = input.ConsumeBool() ? input.ConsumeIntegralInRange(1, 400) : 0;
  platform.free_space.clear();
  for (const char letter : {'S', 'T'}) {
    if (input.ConsumeIntegralInRange(0, 3) == 0) platform.free_space[letter] = input.ConsumeBool() ? 0 : 10;
  }
  ui.interrupt_at_row = input.ConsumeIntegralInRange(0, 4);
  ui.overview_confirms = input.ConsumeBool();
  make_folders = input.ConsumeIntegralInRange(0, 5) != 0;

  CallBaseJob();
  const int calls = input.ConsumeIntegralInRange(0, 24);
  for (int i = 0; i < calls; ++i) CallOneExport(input);
  uint32_t attributes = 0;
  const bool log_existed = Sys().GetAttributes(Parameters.LogFile, &attributes) == kErrOk;
  RunOnce(box, platform, log_existed);
  if (input.ConsumeBool()) {
    // Again, after a few more calls: what a front end does with a second job.
    const int more = input.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < more; ++i) CallOneExport(input);
    RunOnce(box, platform, true);
  }
  SetRunUi(nullptr);
  SetSys(nullptr);
  answers = nullptr;
  return 0;
}
