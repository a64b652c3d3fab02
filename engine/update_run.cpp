// The run driver: checks, preparation, scan, plan and confirmation. The
// erase pass, the copy pass and the folder removal are in copy_pass.cpp.
#include "engine/update_run.h"

#include <algorithm>

#include <limits>

#include "engine/abort_on_stop_request.h"
#include "engine/erase_guard.h"
#include "engine/generation_folders.h"
#include "engine/pass_walk.h"
#include "engine/sync_state_run.h"
#include "model/parameters.h"
#include "engine/space_accounting.h"
#include "model/ordering.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"
#include "scan/pair_name_rules.h"
#include "scan/selections.h"
#include "scan/tree_scan.h"
#include "engine/run_ui.h"

namespace tolvex {

namespace {

char DriveLetterOf(const std::string& path) {
  if (path.empty()) return 0;
  const std::string upper = Sys().UpperCase(path.substr(0, 1));
  return upper.empty() ? 0 : upper[0];
}

std::string DriveRoot(char letter) { return std::string(1, letter) + ":\\"; }

// The search dialog with the wait cursor shown while it lives.
class WaitCursor {
 public:
  explicit WaitCursor(SearchProgressView& view) : view_(view) { view_.SetWaitCursor(true); }
  ~WaitCursor() { view_.SetWaitCursor(false); }

 private:
  SearchProgressView& view_;
};

}  // namespace

uint32_t ClampToU32(uint64_t value) {
  return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                      : static_cast<uint32_t>(value);
}

int PercentOf(uint64_t value, uint64_t total) {
  if (total == 0) return -1;
  // value * 100 cannot overflow for any size a file system reports (< 2^57).
  const uint64_t percent = (value * 100 + total / 2) / total;
  return percent > static_cast<uint64_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(percent);
}

CandidateTexts CandidateTexts::For(const CANDIDATE& c, const Plan& plan,
                                   const TParameters& parameters) {
  const TParameters& p = parameters;
  CandidateTexts t;
  t.dir = plan.dirList[c.dirIndex].text();
  t.counterDir = plan.counterpartList[c.dirIndex].text();
  t.path = t.dir + c.name + c.extension;
  t.counterPath = t.counterDir + c.counterFileName(plan.counterNames);
  t.sizeText = LogSizeText(c.size);
  t.stampText = StampText(c.stamp, p.DateSeparator, p.TimeSeparator);
  if (c.counterSize != 0) {
    t.counterSizeText = LogSizeText(c.counterSize);
    t.counterStampText = StampText(c.counterStamp, p.DateSeparator, p.TimeSeparator);
  }
  return t;
}

void CandidateTexts::Swap() {
  std::swap(dir, counterDir);
  std::swap(path, counterPath);
  std::swap(sizeText, counterSizeText);
  std::swap(stampText, counterStampText);
}

LogEntry CandidateTexts::FileEntry() const {
  return LogEntry::File(path, counterPath, sizeText, counterSizeText, stampText,
                        counterStampText);
}

UpdateRun::UpdateRun(TParameters& parameters, Plan& plan, const RunCallbacks& callbacks)
    : parameters_(parameters),
      plan_(plan),
      callbacks_(callbacks),
      dryRun_(Extension.DryRun()),
      // A dry run writes no log: it must change nothing, the log included.
      log_(dryRun_ ? 0 : parameters_.LogActive, parameters_.LogDateTime, parameters_.LogDetails,
           parameters_.LogFile, parameters_.LogAppend, parameters_.Filename,
           parameters_.DateSeparator, parameters_.TimeSeparator),
      items_(Extension, plan.syncRun),
      mirrorsFolders_(Extension.emptyFolders && parameters.PathMode != TOLVEX_PATH_FLAT) {}

FrontEndCall::FrontEndCall() { CurrentRunUi().BeginFrontEndCall(); }

FrontEndCall::~FrontEndCall() { CurrentRunUi().EndFrontEndCall(); }

int UpdateRun::Notify(int code, char drive, uint64_t number) {
  if (!callbacks_.notify) return 0;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int>::max());
  const int argument = static_cast<int>(number > limit ? limit : number);
  FrontEndCall call;
  return callbacks_.notify(code, static_cast<unsigned char>(drive), argument);
}

int32_t UpdateRun::Run() {
  // Text comparison during a run is always the case-insensitive rule
  // (CompareText), so there is no mode to switch here.
  Sys().PumpStep();
  // A stop request older than the run is honoured from its next pump step
  // on, not this first one.
  plan_.Aborted = false;
  bool failed = false;
  try {
    // Before the log is opened: the log of a job belongs to the run that
    // holds its destination. A dry run changes nothing and takes no lock.
    const Lock lock = dryRun_ ? Lock::kHeld : LockDestination();
    if (lock == Lock::kRefused) return plan_.Aborted ? 0 : 1;
    log_.Open();
    log_.Write(kEventStart);
    if (lock == Lock::kUnprotected) log_.Write(kEventNotLocked);
    Sys().PumpStep();
    RunPhases();
  } catch (...) {
    // Out of memory in the middle of a run: what is logged was done, the
    // rest is not. The run is no success; the footer still ends the log.
    failed = true;
    log_.Write(kEventRunFailed);
    try {
      Notify(kEventRunFailed, 0, 0);
    } catch (...) {
    }
  }
  try {
    UndoRotationOfAStoppedRun(failed);
  } catch (...) {
  }
  Finish();
  return plan_.Aborted || failed ? 0 : 1;
}

void UpdateRun::RunPhases() {
  if (!CheckJob() || !QueryDrives() || !CheckIncludesExist() || !PrepareDestination() ||
      !CheckDestinationFolder()) {
    return;
  }
  if (!ScanAndPlan() || !CheckPlan()) return;
  JudgeFolderFates();
  // A dry run ends with its plan: no question, no overview, nothing done.
  if (dryRun_) {
    HandOverPlan();
    return;
  }
  // The plan goes to the front end before anything is asked (with the
  // overview: as confirmed there) and before anything is erased or copied.
  const bool overview = parameters_.ConfirmMode == TOLVEX_CONFIRM_MODE_OVERVIEW;
  if (plan_.candidates.empty()) {
    if (!HandOverPlan()) return;
  } else {
    if (!overview && !HandOverPlan()) return;
    if (!WarnAboutSpace() || !Confirm()) return;
    if (overview && !HandOverPlan()) return;
  }
  // Every question and check of the plan is behind: the generations rotate.
  if (!TakeWorkingFolder()) return;
  // Before anything is written: a killed run's temporary files hold room
  // the copies may need.
  RemoveDeadTemporaries();
  if (plan_.Aborted) return LogAborted();
  if (!plan_.candidates.empty()) {
    // The steps of both passes, in their order (the dry run walks the same).
    PassWalk walk(plan_, parameters_, &staged_);
    if (walk.ErasesFirst()) {
      Sys().PumpStep();
      ErasePass(walk);
      if (plan_.Aborted) return LogAborted();
    }
    Sys().PumpStep();
    CopyPass(walk);
    if (plan_.Aborted) return LogAborted();
  }
  MakeEmptyFolders();
  if (plan_.Aborted) return LogAborted();
  RemoveEmptyFolders();
  if (!plan_.Aborted && !EndSyncState(plan_, Extension)) {
    log_.Write(kEventSyncStateFailed);
    Notify(kEventSyncStateFailed, 0, 0);
  }
}

bool UpdateRun::CheckJob() {
  const TParameters& p = parameters_;
  if (p.DInclSels.size() * p.FInclSels.size() == 0) {
    log_.Write(kEventNoSelections);
    Notify(kEventNoSelections, 0, 0);
    return false;
  }
  Sys().PumpStep();
  plan_.SourceDrive = DriveLetterOf(p.DInclSels.front().text());
  plan_.DestinationDrive = DriveLetterOf(p.Destination);
  // "S:" is the root of S: as much as "S:\\" is: the generation folder step
  // reads it so, and a root paired with itself would pair every folder with
  // itself (and the folder removal would take the source's empty folders).
  if (plan_.SourceDrive == plan_.DestinationDrive && DestinationFolder(p.Destination).size() == 3 &&
      p.PathMode == TOLVEX_PATH_FULL && p.VaryMode == TOLVEX_VARY_NONE) {
    log_.Write(kEventIdentical);
    Notify(kEventIdentical, 0, 0);
    return false;
  }
  // Before the generation folders are made or rotated: a rotation could
  // rename a source folder.
  return CheckLayout(PlannedDestinationRoot(p));
}

bool UpdateRun::CheckLayout(const std::string& destination_root) {
  const TParameters& p = parameters_;
  std::vector<std::string> includes;
  for (const STRING& entry : p.DInclSels) includes.push_back(entry.text());
  if (FindDrivesMeeting(p.PathMode, destination_root, includes)) {
    log_.Write(kEventDrivesMeet);
    Notify(kEventDrivesMeet, 0, 0);
    return false;
  }
  if (FindDestinationOverSource(p.PathMode, destination_root, includes)) {
    log_.Write(kEventIdentical);
    Notify(kEventIdentical, 0, 0);
    return false;
  }
  // A flat destination holds names without their folders: a file found
  // only there has no folder to go back to, and a newer one there no single
  // file to replace. The scan never reads it, so both ways would silently
  // copy one way only.
  if (p.PathMode == TOLVEX_PATH_FLAT && p.TouchMode == TOLVEX_TOUCH_BOTH_WAYS) {
    log_.Write(kEventFlatBothWays);
    Notify(kEventFlatBothWays, 0, 0);
    return false;
  }
  if (FindIncludesApartOnlyByCase(p.PathMode, destination_root, includes)) {
    log_.Write(kEventCaseApart);
    Notify(kEventCaseApart, 0, 0);
    return false;
  }
  return true;
}

bool UpdateRun::CheckIncludesExist() {
  bool any = false;
  for (const STRING& include : parameters_.DInclSels) {
    if (SelectionExists(include.text())) {
      any = true;
    } else {
      plan_.findings.push_back(FINDING{TOLVEX_REPORT_MISSING_FOLDER, include.text()});
    }
  }
  LogFindings();
  if (any) return true;
  // Nothing is left to back up, as if the job named no folder.
  log_.Write(kEventNoSelections);
  Notify(kEventNoSelections, 0, 0);
  return false;
}

void UpdateRun::LogFindings() {
  for (; loggedFindings_ < plan_.findings.size(); ++loggedFindings_) {
    const FINDING& finding = plan_.findings[loggedFindings_];
    // Named as the plan names it: in the folder that becomes the working folder.
    log_.Write(finding.kind, LogEntry::Folder(items_.Shown(finding.path)));
    items_.Found(finding);
  }
}

bool UpdateRun::QueryDrives() {
  uint64_t free_bytes[2] = {0, 0};
  const char letters[2] = {plan_.SourceDrive, plan_.DestinationDrive};
  for (int k = 0; k < 2; ++k) {
    Sys().PumpStep();
    if (Sys().DiskFreeSpace(DriveRoot(letters[k]), &free_bytes[k]) != kErrOk) {
      log_.Write(kEventDriveNotFound, LogEntry::Drive(letters[k]));
      Notify(kEventDriveNotFound, letters[k], 0);
      return false;
    }
  }
  Sys().PumpStep();
  plan_.FreeSrc = free_bytes[0];
  plan_.FreeDest = free_bytes[1];
  return true;
}

namespace {

// The two reasons the rotation's rule expects a rename to fail for: the
// folder to rename is missing (a young rotation), or its new name is taken.
bool IsExpectedRenameFailure(uint32_t error) {
  return error == kErrFileNotFound || error == kErrPathNotFound || error == kErrAlreadyExists ||
         error == kErrFileExists;
}

}  // namespace

// A Grandfather found before the rotation (left by a run that stopped in
// the middle of one) is reported, though the renames still free may
// complete that rotation; one still there after the renames blocks every
// later rotation as well (the rule stays), and so does a rename the system
// refused for another reason (a folder held open, no access). Each is
// reported once.
void UpdateRun::ReportRotation(const Rotation& rotation) {
  std::vector<std::string> blocked;
  const auto report = [&blocked](const std::string& folder) {
    if (std::find(blocked.begin(), blocked.end(), folder) == blocked.end()) {
      blocked.push_back(folder);
    }
  };
  if (!rotation.leftover.empty()) report(rotation.leftover);
  for (const RotationStep& step : rotation.steps) {
    if (step.error != kErrOk && !IsExpectedRenameFailure(step.error)) report(step.from);
  }
  // The renames: Father -> Grandfather first, Grandfather -> Grandson last.
  if (rotation.steps.size() == 4 &&
      (!rotation.leftover.empty() || rotation.steps[0].error == kErrOk) &&
      rotation.steps[3].error != kErrOk) {
    report(rotation.steps[3].from);
  }
  for (const std::string& folder : blocked) {
    plan_.findings.push_back(FINDING{TOLVEX_REPORT_ROTATION_BLOCKED, folder});
  }
  if (!blocked.empty()) LogFindings();
}

bool UpdateRun::PrepareDestination() {
  Sys().PumpStep();
  // Nothing is renamed before the run goes on to change files
  // (TakeWorkingFolder): a run that stops before must leave every
  // generation where it was. The folder that will become the working folder
  // is scanned in its place, and shown under the name it will get.
  std::string scanned_root;
  judgedRotation_ = JudgeDestinationRoot(parameters_, plan_, &scanned_root);
  shownRoot_ = plan_.DestinationRoot;
  plan_.DestinationRoot = scanned_root;
  items_.ShowScannedRootAs(scanned_root, shownRoot_);
  ReportRotation(judgedRotation_);
  // The date may have turned since the check: the folder made is checked too.
  if (!CheckLayout(shownRoot_)) return false;
  Sys().PumpStep();
  // The hint only goes into the log, which a dry run does not write.
  if (parameters_.Midnight && !dryRun_) {
    if (Notify(kEventMidnight, 0, 0) != TOLVEX_NOTIFY_NO) log_.Write(kEventMidnight);
  }
  Sys().PumpStep();
  return true;
}

// The passes may stop before their first change too (Cancel as the erasing
// begins, Abort at the first per-file question or failed copy, Ctrl-C): the
// generations are then named as before the run, as for a run that stopped
// before the rotation. A run that completes keeps its rotation.
void UpdateRun::UndoRotationOfAStoppedRun(bool failed) {
  if (rotation_.steps.empty() || changed_ || !(plan_.Aborted || failed)) return;
  for (const RotationStep& step : UndoRotation(rotation_)) items_.Renamed(step);
  rotation_ = Rotation();
}

// Without CreateDestDirs no folder is made on the destination side; with its
// working folder missing, every copy into it would fail one by one (each
// its line and its question). The run ends before the scan instead, with
// one line that says why, and the plan says the same.
bool UpdateRun::CheckDestinationFolder() {
  if (parameters_.CreateDestDirs) return true;
  const std::string& folder = plan_.DestinationRoot;  // as it is named now
  const std::string bare = folder.size() > 3 && folder.back() == '\\'
                               ? folder.substr(0, folder.size() - 1)
                               : folder;
  uint32_t attributes = 0;
  if (!folder.empty() && Sys().GetAttributes(bare, &attributes) == kErrOk &&
      (attributes & kAttrDirectory)) {
    return true;
  }
  log_.Write(kEventDestinationMissing, LogEntry::Folder(shownRoot_));
  Notify(kEventDestinationMissing, plan_.DestinationDrive, 0);
  return false;
}

namespace {

// Gives the folders of `list` below `from` the beginning `to` instead.
void MoveFolderTexts(std::vector<STRING>* list, const std::string& from, const std::string& to) {
  for (STRING& entry : *list) {
    if (entry.text().compare(0, from.size(), from) == 0) {
      entry.SetText(to + entry.text().substr(from.size()));
    }
  }
}

}  // namespace

// The rotation happens here, after every question and check of the plan and
// before the first change: the renames the plan was judged on, in their
// order. When one of them gives another result than judged (a rename the
// system refused, a folder made or removed meanwhile), the scanned folder
// would not become the working folder: the renames done are undone and the
// run ends with nothing changed.
// The previous newest generation, when this run's rotation renamed it to
// Son (with a leftover Grandfather nothing is renamed, and Son is older
// than the Grandson this run updates).
std::string UpdateRun::SharedGeneration() const {
  if (!Extension.shareUnchanged || parameters_.VaryMode != TOLVEX_VARY_GENERATIONS) return "";
  const std::string son = DestinationFolder(parameters_.Destination) + kSonFolder;
  for (const RotationStep& step : rotation_.steps) {
    if (step.error == kErrOk && step.to == son) return son + "\\";
  }
  return "";
}

bool UpdateRun::TakeWorkingFolder() {
  const std::string scanned_root = plan_.DestinationRoot;
  if (parameters_.VaryMode == TOLVEX_VARY_GENERATIONS) {
    const Rotation rotation = RotateGenerationFolders(parameters_.Destination);
    for (const RotationStep& step : rotation.steps) items_.Renamed(step);
    rotation_ = rotation;
    // The renames that went otherwise; reported are those the system
    // refused for another reason than a missing folder or a taken name (a
    // rename after them fails only because of them), else all of them.
    std::vector<std::string> differing;
    std::vector<std::string> refused;
    for (size_t k = 0; k < rotation.steps.size() && k < judgedRotation_.steps.size(); ++k) {
      const RotationStep& step = rotation.steps[k];
      if ((step.error == kErrOk) == (judgedRotation_.steps[k].error == kErrOk)) continue;
      differing.push_back(step.from);
      if (step.error != kErrOk && !IsExpectedRenameFailure(step.error)) refused.push_back(step.from);
    }
    if (!differing.empty()) {
      rotation_ = Rotation();
      for (const RotationStep& step : UndoRotation(rotation)) items_.Renamed(step);
      for (const std::string& folder : refused.empty() ? differing : refused) {
        plan_.findings.push_back(FINDING{TOLVEX_REPORT_ROTATION_BLOCKED, folder});
      }
      LogFindings();
      log_.Write(kEventRotationFailed);
      Notify(kEventRotationFailed, plan_.DestinationDrive, 0);
      return false;
    }
  }
  sharedRoot_ = SharedGeneration();
  MoveFolderTexts(&plan_.dirList, scanned_root, shownRoot_);
  MoveFolderTexts(&plan_.counterpartList, scanned_root, shownRoot_);
  plan_.DestinationRoot = shownRoot_;
  // The scanned folders carry the working folder's name now: names there
  // are found as the scan matched them.
  Sys().SetExactNameFolders(ExactNameFolders(parameters_, plan_));
  items_.ShowScannedRootAs(shownRoot_, shownRoot_);
  return true;
}

bool UpdateRun::ScanAndPlan() {
  // The sync state's keys keep letter case where the scan will.
  if (parameters_.TouchMode == TOLVEX_TOUCH_BOTH_WAYS) {
    plan_.namesTellCaseApart = PairsTellCaseApart(parameters_, plan_);
  }
  BeginSyncState(parameters_, plan_, Extension);
  {
    std::unique_ptr<SearchProgressView> dialog =
        CurrentRunUi().OpenSearchDialog(DialogCaption(parameters_.Filename), plan_);
    ScanTrees(parameters_, plan_, dialog.get());
    if (!plan_.Aborted && !plan_.candidates.empty()) {
      WaitCursor wait(*dialog);
      OrderAndGroup(parameters_, plan_);
      AccountSpace(plan_);
    }
  }
  LogFindings();
  if (plan_.Aborted) {
    LogAborted();
    return false;
  }
  return true;
}

bool UpdateRun::CheckPlan() {
  const TParameters& p = parameters_;
  Sys().PumpStep();
  const std::string& root = shownRoot_;
  if (p.PathMode == TOLVEX_PATH_RELATIVE && Sys().CompareExact(plan_.CommonRoot, root) == 0) {
    log_.Write(kEventIdentical);
    Notify(kEventIdentical, 0, 0);
    return false;
  }
  Sys().PumpStep();
  if (plan_.candidates.empty()) {
    log_.Write(kEventNoFiles);
    Notify(kEventNoFiles, 0, 0);
  }
  return true;
}

bool UpdateRun::WarnAboutSpace() {
  Sys().PumpStep();
  for (const SpaceShortfall& shortfall : FindSpaceShortfalls(plan_)) {
    log_.Write(kEventLacksSpace, LogEntry::Shortfall(shortfall.drive, shortfall.missingBytes));
    if (Notify(kEventLacksSpace, shortfall.drive, shortfall.missingBytes) == TOLVEX_NOTIFY_NO) {
      LogAborted();
      return false;
    }
  }
  return true;
}

bool UpdateRun::Confirm() {
  Sys().PumpStep();
  if (parameters_.ConfirmMode != TOLVEX_CONFIRM_MODE_OVERVIEW) return true;
  OverviewRequest request{plan_, parameters_, {}, {}};
  if (Extension.GuardsErasures()) {
    // The overview asks for the warning each time the plan changes in it.
    request.eraseWarningLine = [&] { return EraseLimitWarning(request.plan, Extension); };
    request.eraseWarningQuestion = [&] {
      return EraseLimitQuestion(request.plan, request.parameters, Extension);
    };
  }
  const OverviewAnswer answer = CurrentRunUi().RunOverview(request);
  eraseWarningSeen_ = answer.confirmed && answer.eraseWarningSeen;
  plan_.Aborted = !answer.confirmed;
  if (plan_.Aborted) {
    LogAborted();
    return false;
  }
  return true;
}

void UpdateRun::Finish() {
  // Only a run that failed inside (an exception) leaves copies staged: they
  // are not done, and nothing of them may stay behind.
  if (!staged_.empty()) {
    staged_.Take();
    Sys().DropStagedCopies();
  }
  Sys().PumpStep();
  // The plan keeps the working folder of the run, not the one a dry run, or
  // a run that stopped before the rotation, read in its place.
  if (!shownRoot_.empty()) plan_.DestinationRoot = shownRoot_;
  Sys().PumpStep();
  log_.Write(kEventEnd);
  log_.Close();
  lock_.reset();
  // The log cannot carry this news itself.
  if (log_.Failed()) Notify(kEventLogFailed, 0, 0);
}

int32_t RunUpdate(TParameters& parameters, const RunCallbacks& callbacks) {
  // The drive table of the POSIX back end may have changed since the last run.
  Sys().ReloadDrives();
  int32_t result = 0;
  {
    // The run's own plan, from its checks to its log.
    Plan plan;
    AbortOnStopRequest abort_on_stop(plan);
    UpdateRun run(parameters, plan, callbacks);
    result = run.Run();
  }
  // A request made during this run is no request to stop the next one.
  ClearStopRequests();
  // Nor are its exact names those of a caller's own lookups.
  Sys().SetExactNameFolders({});
  return result;
}

}  // namespace tolvex
