// The fixture of the end-to-end tests of CallUpdate: a job on test drives S:
// (source) and T: (destination) with the log on U:, the four callbacks of a
// scripted front end, scripted dialogs and a platform with a fixed clock.
//
// Every run goes through the configuration exports and CallUpdate, as the
// front end calls them. The callbacks are plain C functions, so they record
// into one global recorder and take their answers from its queues.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frontend/item_record.h"
#include "include/tolvex32.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "testing/test_drives.h"
#include "engine/run_ui.h"

namespace tolvex::runtest {

// A packed DOS stamp (local time); seconds are stored halved, so use even ones.
constexpr uint32_t Stamp(int year, int month, int day, int hour, int minute, int second = 0) {
  return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
         (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
         (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
}

// Two file times: the older copy and the newer one.
inline constexpr uint32_t kOld = Stamp(1999, 3, 10, 17, 5, 12);
inline constexpr uint32_t kNew = Stamp(1999, 3, 14, 10, 22, 40);

// Answers of the front end's message boxes.
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The error code of a copy the user interrupted.
inline constexpr uint32_t kInterrupted = 0x20000000;

// --- The scripted front end -------------------------------------------------

// Scripted answers, first in first out; once empty, the fallback.
class AnswerQueue {
 public:
  explicit AnswerQueue(int fallback) : fallback_(fallback) {}
  void Push(std::initializer_list<int> answers) { answers_.insert(answers_.end(), answers); }
  void SetFallback(int answer) { fallback_ = answer; }
  int Next();

 private:
  std::deque<int> answers_;
  int fallback_;
};

struct NotifyCall {
  int code = 0;
  int drive = 0;
  int number = 0;
  bool operator==(const NotifyCall&) const = default;
};

// One question about a file: ConfirmProc (value = state) or CopyErrorProc
// (value = error code).
struct FileQuestion {
  std::string path;
  std::string counterPath;
  uint32_t size = 0;
  uint32_t counterSize = 0;
  uint32_t stamp = 0;
  uint32_t counterStamp = 0;
  uint32_t value = 0;
};

struct CallbackRecorder {
  std::vector<NotifyCall> notifications;
  std::vector<FileQuestion> confirmations;
  std::vector<FileQuestion> copyErrors;
  std::vector<std::string> madeFolders;
  AnswerQueue notifyAnswers{kIdOk};
  // Runs before NotifyProc answers (the code it was called with).
  std::function<void(int code)> onNotify;
  // When set, they answer instead of the queues (the question just
  // recorded): answers by file rather than by turn.
  std::function<int(const FileQuestion&)> confirmBy;
  std::function<int(const FileQuestion&)> copyErrorBy;
  AnswerQueue confirmAnswers{10};
  AnswerQueue copyErrorAnswers{20};
  // Runs when ConfirmProc or CopyErrorProc is called, before it answers.
  std::function<void()> onQuestion;
};

// The one recorder the callbacks write to; the fixture renews it per test.
CallbackRecorder& Recorder();

// --- The extension's channels -----------------------------------------------

// One item of the plan or outcome channel, copied as the command keeps it.
struct ChannelItem : frontend::ItemRecord {
  ChannelItem() = default;
  explicit ChannelItem(frontend::ItemRecord record) : frontend::ItemRecord(std::move(record)) {}
  // "copy S:\a -> T:\a", "erase T:\b", "found 10108 S:\A": what an action
  // or finding is, without its outcome.
  std::string Action() const;
};

struct ChannelRecorder {
  std::vector<ChannelItem> plan;
  std::vector<ChannelItem> outcomes;
  int endAnswer = TOLVEX_PLAN_GO;  // the answer to TOLVEX_ITEM_END
  // Runs on each outcome as it comes (after it is recorded).
  std::function<void(const ChannelItem&)> onOutcome;

  // The items of `kind` in a channel.
  static std::vector<ChannelItem> OfKind(const std::vector<ChannelItem>& items, int32_t kind);
  // Action() of every action in a channel, in order.
  static std::vector<std::string> Actions(const std::vector<ChannelItem>& items);
  // Action() of every item, whatever its kind (findings, folder removals).
  static std::vector<std::string> Described(const std::vector<ChannelItem>& items);
};

// The one recorder of the channels; the fixture renews it per test.
ChannelRecorder& Channels();
int TOLVEX_CALLBACK RecordPlanItem(const TolvexItem* item);
void TOLVEX_CALLBACK RecordOutcome(const TolvexItem* item);

int TOLVEX_CALLBACK RecordNotify(int code, int drive, int number);
int TOLVEX_CALLBACK RecordConfirm(const char* path, const char* counter_path, uint32_t size,
                                  uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                  int state);
int TOLVEX_CALLBACK RecordCopyError(const char* path, const char* counter_path, uint32_t size,
                                    uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                    uint32_t error);
// Records the folder and creates it with its parents, as a front end does.
int TOLVEX_CALLBACK RecordMakeDir(const char* folder);

// --- The platform -----------------------------------------------------------

// The real platform with a fixed clock (which the clock fault moves a day
// on), optional fake free space, recorded
// beeps, injectable faults, and a pump step that delivers the scripted
// dialogs' button clicks (one per step, as a message queue would).
class RunPlatform : public FaultInjectingPlatform {
 public:
  RunPlatform() : FaultInjectingPlatform(&DefaultPlatform()) {}

  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override;
  LocalTime Now() override { return Later(now); }
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override;
  bool TakeOneMessage() override;
  void Beep(uint32_t type) override { beeps.push_back(type); }
  uint32_t CopyOver(const std::string& from, const std::string& to) override;
  StageResult StageCopy(const std::string& from, const std::string& to) override;
  size_t CompleteStagedCopies(uint32_t* failure) override;
  void DropStagedCopies() override {
    staged_.clear();
    FaultInjectingPlatform::DropStagedCopies();
  }
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t RemoveFolder(const std::string& path) override;

  // Queues a click; the next pump step delivers it.
  void PostClick(std::function<void()> click) { clicks_.push_back(std::move(click)); }

  // 14 March 1999, 14:03:59 (a Sunday).
  LocalTime now{1999, 3, 14, 14, 3, 59, 0};
  // Free bytes reported for a drive letter; other drives report the truth.
  std::map<char, uint64_t> freeSpace;
  std::vector<uint32_t> beeps;
  int pumpSteps = 0;
  int copies = 0;  // CopyOver calls so far
  // When set and not 0 for a pattern, FindEntries fails with that error.
  std::function<uint32_t(const std::string& pattern)> findError;
  // Runs before each CopyOver reaches the file system (1-based call number).
  std::function<void(int call, const std::string& from, const std::string& to)> beforeCopy;
  // Copies are made one at a time (StageCopy is CopyOver) unless one of
  // these is set.
  // Copies staged as a platform that stages them does, at the hardest point
  // for the run: StageCopy changes nothing, and CompleteStagedCopies makes
  // each staged CopyOver in turn (its faults and beforeCopy strike there),
  // stopping at the first failure.
  bool stageCopies = false;
  // Copies staged by the real platform below (written, made durable and
  // renamed into place by the back end): a CopyOver fault and beforeCopy
  // strike as StageCopy is called.
  bool realStaging = false;
  int completions = 0;  // CompleteStagedCopies calls that found copies staged
  // Run before each RemoveFile and RemoveFolder reaches the file system.
  std::function<void(const std::string& path)> beforeRemove;

 private:
  std::deque<std::function<void()>> clicks_;
  std::vector<std::pair<std::string, std::string>> staged_;
};

// --- The dialogs ------------------------------------------------------------

struct SearchDialogRecord {
  std::string caption;
  std::vector<std::string> statusTexts;
  std::vector<std::string> gauge;  // "range 0 3", "position 2" in call order
  int waitCursors = 0;             // times the wait cursor was shown
  bool waitCursorShown = false;    // shown at this moment
};

struct CopyDialogRecord {
  std::string caption;
  std::vector<std::string> copyRows;  // the path of each "Copying" row shown
  std::vector<std::string> toRows;    // the path of each "to" row shown
  std::vector<int> gaugePositions;
  int interruptsEnabled = 0;  // EnableInterrupt calls
};

// Dialogs that record what the run shows them and press their buttons as
// scripted. Clicks go through the platform's pump step, as real ones do.
class ScriptedRunUi final : public RunUi {
 public:
  explicit ScriptedRunUi(RunPlatform& platform) : platform_(platform) {}

  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption, Plan& plan) override;
  OverviewAnswer RunOverview(const OverviewRequest& request) override;
  // Inside onOverview: the erase limit's warning line of the overview's
  // request for the plan as it stands, shown as the terminal overview shows
  // it (the last one shown before OK is what the answer tells); "" without
  // a limit.
  std::string ShowEraseWarning();

  // Cancel is pressed when a search dialog shows this status text.
  std::string cancelAtStatus;
  // Interrupt is pressed when the n-th "Copying" row is shown (1-based; 0 never).
  int interruptAtCopyRow = 0;
  // The overview's answer; onOverview plays the user's changes first.
  bool overviewConfirms = true;
  std::function<void(Plan&)> onOverview;
  // The plan of the run that opened the last dialog (the Interrupt and
  // Cancel buttons set its flags).
  Plan* runPlan = nullptr;
  // The run's plan as the copy dialog closed (after the copy pass): what the
  // run worked out (drives, working folder, statistics), for the checks
  // after the run, when the plan itself is gone.
  Plan planAtCopyEnd;

  std::deque<SearchDialogRecord> searchDialogs;  // in opening order
  std::deque<CopyDialogRecord> copyDialogs;
  int overviewRuns = 0;
  const OverviewRequest* overviewRequest = nullptr;  // while the overview runs
  std::string shownEraseWarning;                     // the last line shown
  int openDialogs = 0;     // dialogs alive now
  int mostOpenDialogs = 0;  // the most alive at one time

  // Every status text of every search dialog, in order.
  std::vector<std::string> AllStatusTexts() const;

  // Kept by the dialogs: one more, one fewer alive.
  void Opened();
  void Closed() { --openDialogs; }

 private:
  RunPlatform& platform_;
};

// --- The job ----------------------------------------------------------------

// Every configuration value of a job, handed over through the exports. The
// defaults: S:\Data\ and its subfolders into T:\Backup\ with full paths,
// source orphans copied, destination orphans ignored, missing folders made
// on the destination side, a log on U: with both sides of each entry.
struct Job {
  std::string filename = "Job.tvx";
  std::vector<std::string> dirIncludes{"S:\\Data\\*"};
  std::vector<std::string> dirExcludes;
  std::vector<std::string> fileIncludes{"*.*"};
  std::vector<std::string> fileExcludes;
  std::string destination = "T:\\Backup\\";
  int32_t varyMode = 0;
  int32_t confirmMode = 0;
  int32_t sortMode = 1;  // by name: the same order on every file system
  int32_t reverse = 0;
  int32_t pathMode = 1;
  int32_t attributes = 0;
  int32_t touchMode = 0;
  uint32_t leastDate = 0;
  uint32_t lastUpdate = 0xFFFFFFFF;
  int32_t orphanModeD1 = 0;
  int32_t orphanModeD2 = 1;
  int32_t orphanModeB = 0;
  int32_t orphanModeS1 = 0;
  int32_t orphanModeS2 = 1;
  int32_t warnings = 0;
  int32_t createSrcDirs = 0;
  int32_t createDestDirs = 1;
  int32_t deleteSrcDirs = 0;
  int32_t deleteDestDirs = 0;
  int32_t checkSizes = 0;
  int32_t logActive = 1;
  int32_t logDateTime = 0;
  int32_t logDetails = 2;
  std::string logFile = "U:\\run.log";
  int32_t logAppend = 0;
  int32_t displayMode = 0;
  uint32_t blockColor1 = 0x00FFFFFF;
  uint32_t blockColor2 = 0x00C0C0C0;
  int32_t sizeFilter = 0;
  int32_t doubleFilter = 0;
  std::string weekday = "Sunday";
  char dateSeparator = '.';
  char timeSeparator = ':';
  int32_t midnight = 0;
};

// Calls every configuration export with the job's values.
void ApplyJob(const Job& job);

// --- The fixture ------------------------------------------------------------

class RunTest : public ::testing::Test {
 protected:
  RunTest();
  ~RunTest() override;

  // Empties the test drives S:, T: and U: between two cases of one test.
  void ClearDrives() const;

  // Hands the job over and runs CallUpdate with the recording callbacks.
  int Run();
  // Sets the extension's plan and outcome procedures to the recorders.
  void ListenToChannels() const;
  // Every file of the test drives in drive form ("S:\Data.txt") with its
  // content and stamp, and every folder (with its backslash): what a dry
  // run must leave as it is.
  std::map<std::string, std::string> Snapshot() const;

  void Write(const std::string& path, const std::string& content, uint32_t stamp) const {
    drives_.WriteFile(path, content, stamp);
  }
  std::string Read(const std::string& path) const { return drives_.ReadFile(path); }
  bool Exists(const std::string& path) const { return drives_.Exists(path); }
  // The names in a folder as the file system holds them (temporary files of
  // the copy included), sorted.
  std::vector<std::string> NativeNames(const std::string& folder) const;

  // The log file's content, as bytes.
  std::string LogText() const { return Read(job_.logFile); }
  // The log split at its CR LF line ends; a bare LF fails the test.
  std::vector<std::string> LogLines() const;
  // The lines between the header and the footer (both checked), each entry
  // reduced to "label: path" (sizes and stamps left out), other lines whole.
  std::vector<std::string> LogBody() const;
  // The first whole log line that contains `text` ("" when none).
  std::string LogLineWith(const std::string& text) const;

  std::vector<NotifyCall> Notifications() const { return Recorder().notifications; }

  TestDrives drives_{"STU"};
  RunPlatform platform_;
  ScriptedRunUi ui_{platform_};
  Job job_;
};

// The path of a file in tests/testdata (also under Wine).
std::string TestDataPath(const std::string& name);

}  // namespace tolvex::runtest
