// The execution of the plan: the erase pass (last candidate first), the copy
// pass (in list order, with the per-file confirmation and the copy-error
// answers) and the removal of empty folders.
#include <memory>
#include <optional>
#include <utility>

#include "engine/run_ui.h"
#include "engine/staged_steps.h"
#include "engine/update_run.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "scan/conflicts.h"

namespace tolvex {

namespace {

constexpr uint32_t kBeepExclamation = 0x30;

uint16_t Action(uint16_t state) { return state & STATE_ACTION; }

std::unique_ptr<SearchProgressView> OpenSearch(const std::string& job_name, Plan& plan,
                                               const std::string& status, int maximum) {
  std::unique_ptr<SearchProgressView> dialog =
      CurrentRunUi().OpenSearchDialog(DialogCaption(job_name), plan);
  dialog->SetStatusText(status);
  dialog->SetGaugeRange(0, maximum);
  dialog->SetGaugePosition(0);
  return dialog;
}

}  // namespace

// Erases the candidate's file and, when there is one, its counterpart. The
// log names each file erased, and each erase that failed (a read-only file,
// one held open, no access: without the line a front end that has no
// outcome channel would take the erase for done); a file already gone is no
// failure. The outcome channel tells the front end of each with its error.
void UpdateRun::EraseCandidateFiles(const CANDIDATE& c, const CandidateTexts& texts) {
  std::vector<RunItem> files = EraseItemsOf(c, texts, plan_.syncRun);
  const std::string* size_texts[2] = {&texts.sizeText, &texts.counterSizeText};
  const std::string* stamp_texts[2] = {&texts.stampText, &texts.counterStampText};
  for (size_t k = 0; k < files.size(); ++k) {
    RunItem& file = files[k];
    const uint32_t error = Sys().RemoveFile(file.from);
    const LogEntry entry = LogEntry::Erased(file.from, *size_texts[k], *stamp_texts[k]);
    if (error == kErrOk) {
      changed_ = true;
      Sys().PumpStep();
      log_.Write(kEventFileErased, entry);
    } else if (error != kErrFileNotFound && error != kErrPathNotFound) {
      log_.Write(kEventEraseError, entry);
    }
    file.item.outcome = error == kErrOk ? TOLVEX_OUTCOME_DONE : TOLVEX_OUTCOME_FAILED;
    file.item.error = error;
    items_.Outcome(std::move(file));
  }
}

// The folder removal tries every listed folder, so "not empty" is its
// everyday answer; any other failure is logged.
void UpdateRun::RemoveFolder(const std::string& folder, int side) {
  const uint32_t error = Sys().RemoveFolder(folder);
  if (error == kErrOk) {
    changed_ = true;
    Sys().PumpStep();
    log_.Write(kEventDirectoryDeleted, LogEntry::Folder(folder));
    items_.FolderRemoved(folder, side);
  } else if (error != kErrDirNotEmpty && error != kErrFileNotFound && error != kErrPathNotFound) {
    log_.Write(kEventEraseError, LogEntry::Folder(folder));
  }
}

void UpdateRun::ErasePass() {
  const int n = static_cast<int>(plan_.candidates.size());
  std::unique_ptr<SearchProgressView> dialog =
      OpenSearch(parameters_.Filename, plan_, "Erasing files...", n);
  for (int i = n - 1; i >= 0; --i) {
    Sys().PumpStep();
    if (plan_.Aborted) break;
    CANDIDATE& c = plan_.candidates[i];
    if (Action(c.state) == STATE_ERASE) {
      EraseCandidateFiles(c, CandidateTexts::For(c, plan_, parameters_));
      c.state |= STATE_DONE;
      SettlePartnerOf(i);
    }
    dialog->SetGaugePosition(n - i);
  }
}

void UpdateRun::CopyPass() {
  plan_.InterruptRequest = false;
  copied_ = 0;
  std::unique_ptr<CopyProgressView> dialog =
      CurrentRunUi().OpenCopyDialog(DialogCaption(parameters_.Filename), plan_);
  dialog->SetGaugePosition(0);
  size_t i = 0;
  for (;;) {
    if (i >= plan_.candidates.size()) {
      // The last staged copies are put in place; one that fails there is
      // handled as any failed copy and the pass goes on from it.
      size_t resume = 0;
      if (CompleteStaged(*dialog, &resume) || resume == kStop) break;
      i = resume;
      continue;
    }
    i = ProcessCandidate(i, *dialog);
    if (i == kStop) break;
  }
}

size_t UpdateRun::ProcessCandidate(size_t i, CopyProgressView& dialog) {
  const TParameters& p = parameters_;
  if (heldInterruptFor_ != kStop && i >= heldInterruptFor_) {
    plan_.InterruptRequest = true;
    heldInterruptFor_ = kStop;
  }
  Sys().PumpStep();
  if (plan_.Aborted) {
    // What was staged before the abort was under way: it is completed.
    size_t resume = 0;
    CompleteStaged(dialog, &resume);
    return kStop;
  }
  if (plan_.candidates[i].state & STATE_DONE) return i + 1;
  CandidateTexts texts = CandidateTexts::For(plan_.candidates[i], plan_, parameters_);

  if (p.ConfirmMode == TOLVEX_CONFIRM_MODE_EACH_FILE && !askAll_ &&
      !(plan_.candidates[i].state & STATE_CONFIRMED) && settled_.count(i) == 0) {
    // The question comes after every earlier file is done (that may settle
    // this one, a conflict partner): then this candidate is taken again.
    if (!staged_.empty()) return CompleteStagedThenTake(i, dialog);
    AskConfirmation(i, texts);
    if (plan_.Aborted) return kStop;
  }
  return ApplyAction(i, std::move(texts), dialog);
}

size_t UpdateRun::ApplyAction(size_t i, CandidateTexts texts, CopyProgressView& dialog) {
  const CANDIDATE& c = plan_.candidates[i];
  switch (Action(c.state)) {
    case STATE_NORMAL:
      return CopyCandidate(i, texts, CopyItemOf(c, texts), dialog);
    case STATE_INVERT: {
      RunItem item = CopyItemOf(c, texts);
      texts.Swap();
      return CopyCandidate(i, texts, std::move(item), dialog);
    }
    case STATE_ERASE:
      if (!staged_.empty()) return CompleteStagedThenTake(i, dialog);
      EraseCandidateFiles(c, texts);
      SettlePartnerOf(i);
      return i + 1;
    default: {
      // Ignore, and any state without a known action: nothing is touched.
      // Its line and outcome wait for the staged copies before it.
      RunItem skip = SkipItemOf(c, texts, failed_.count(i) ? TOLVEX_REASON_COPY_FAILED : SkipReasonOf(c));
      skip.item.outcome = TOLVEX_OUTCOME_SKIPPED;
      if (staged_.empty()) {
        Skipped(texts, std::move(skip));
      } else {
        staged_.AddSkip(i, std::move(texts), std::move(skip));
      }
      return i + 1;
    }
  }
}

// Copies the file of `texts.path` onto `texts.counterPath` (already swapped
// for an Invert candidate); the byte count keeps the unswapped size. `item`
// is the copy as the outcome channel names it. The copy is staged when the
// platform stages copies, and counts as done only when CompleteStaged has
// put it in place.
size_t UpdateRun::CopyCandidate(size_t i, const CandidateTexts& texts, RunItem item,
                                CopyProgressView& dialog) {
  const TParameters& p = parameters_;
  // A file a staged copy reads or writes is copied only after it: then this
  // candidate is taken again (a conflict partner is settled by then).
  if (staged_.Touches(texts.path) || staged_.Touches(texts.counterPath)) {
    return CompleteStagedThenTake(i, dialog);
  }
  const CANDIDATE& c = plan_.candidates[i];
  dialog.ShowCopyRow(texts.path, texts.sizeText, texts.stampText);
  dialog.ShowToRow(texts.counterPath, texts.counterSizeText, texts.counterStampText);
  CreateTargetFolder(c, texts);

  uint32_t attributes = 0;
  if ((p.Attributes & TOLVEX_ATTR_OVERWRITE_READONLY) &&
      Sys().GetAttributes(texts.counterPath, &attributes) == kErrOk &&
      (attributes & kAttrReadOnly)) {
    changed_ = true;
    Sys().SetAttributes(texts.counterPath, 0);
  }
  Sys().PumpStep();
  size_t resume = 0;
  if (plan_.InterruptRequest) {
    // The copies under way complete; this one is not tried. A staged copy
    // that fails meanwhile is handled first, as it would have been before
    // the click, and the pass comes back here with the click still held.
    if (!staged_.empty()) {
      plan_.InterruptRequest = false;
      heldInterruptFor_ = i;
      if (!CompleteStaged(dialog, &resume)) return resume;
      heldInterruptFor_ = kStop;
      plan_.InterruptRequest = true;
    }
    return HandleCopyFailure(i, TOLVEX_ERROR_INTERRUPTED, texts, std::move(item), dialog);
  }
  const Platform::StageResult result = Sys().StageCopy(texts.path, texts.counterPath);
  if (result.staged) {
    staged_.AddCopy(i, texts, std::move(item), plan_.candidates[i].size);
    if (staged_.full() && !CompleteStaged(dialog, &resume)) return resume;
    return i + 1;
  }
  // Done at once, or failed with nothing changed: the staged copies before
  // it come first, so that no failure is told before an earlier file's.
  if (!CompleteStaged(dialog, &resume)) return resume;
  if (result.error != kErrOk) {
    return HandleCopyFailure(i, result.error, texts, std::move(item), dialog);
  }
  CopyDone(i, texts, std::move(item), dialog);
  return i + 1;
}

bool UpdateRun::CompleteStaged(CopyProgressView& dialog, size_t* resume) {
  if (staged_.empty()) return true;
  uint32_t failure = kErrOk;
  const size_t placed = Sys().CompleteStagedCopies(&failure);
  std::vector<StagedSteps::Step> steps = staged_.Take();
  size_t copies = 0;
  for (StagedSteps::Step& step : steps) {
    if (!step.copy) {
      Skipped(step.texts, std::move(step.item));
      continue;
    }
    if (copies == placed) {
      // This copy failed and the later steps were dropped: its failure is
      // handled now, and the pass goes on from it as after any failure.
      *resume = HandleCopyFailure(step.candidate, failure, step.texts, std::move(step.item), dialog);
      return false;
    }
    ++copies;
    CopyDone(step.candidate, step.texts, std::move(step.item), dialog);
  }
  return true;
}

size_t UpdateRun::CompleteStagedThenTake(size_t i, CopyProgressView& dialog) {
  size_t resume = 0;
  return CompleteStaged(dialog, &resume) ? i : resume;
}

void UpdateRun::CopyDone(size_t i, const CandidateTexts& texts, RunItem item,
                         CopyProgressView& dialog) {
  changed_ = true;
  copied_ += plan_.candidates[i].size;
  dialog.SetGaugePosition(PercentOf(copied_, plan_.CopyBytes));
  log_.Write(kEventFileCopied, texts.FileEntry());
  item.item.outcome = TOLVEX_OUTCOME_DONE;
  items_.Outcome(std::move(item));
  SettlePartnerOf(i);
}

void UpdateRun::Skipped(const CandidateTexts& texts, RunItem item) {
  log_.Write(kEventFileSkipped, texts.FileEntry());
  items_.Outcome(std::move(item));
}

// Both files of a conflict pair are now alike (copied) or gone (erased):
// the other candidate of the pair would copy back what was just written, or
// copy a file that is no more. It is skipped, without a question.
void UpdateRun::SettlePartnerOf(size_t i) {
  const std::optional<size_t> partner = ConflictPartnerOf(plan_, i);
  if (!partner || (plan_.candidates[*partner].state & STATE_DONE)) return;
  plan_.candidates[*partner].state = ReplaceAction(plan_.candidates[*partner].state, STATE_IGNORE);
  settled_.insert(*partner);
}

void UpdateRun::CreateTargetFolder(const CANDIDATE& c, const CandidateTexts& texts) {
  const TParameters& p = parameters_;
  if (!callbacks_.makeDir || c.dirIndex == lastFolder_) return;
  const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
  if ((!dest_side && p.CreateDestDirs) || (dest_side && p.CreateSrcDirs)) {
    // A folder the front end makes is a change of the run.
    const auto exists = [&texts] {
      uint32_t attributes = 0;
      const std::string& dir = texts.counterDir;
      return Sys().GetAttributes(dir.size() > 3 ? dir.substr(0, dir.size() - 1) : dir,
                                 &attributes) == kErrOk;
    };
    const bool existed = changed_ || exists();
    {
      FrontEndCall call;
      callbacks_.makeDir(texts.counterDir.c_str());
    }
    if (!existed && exists()) changed_ = true;
    lastFolder_ = c.dirIndex;
  }
}

void UpdateRun::AskConfirmation(size_t i, const CandidateTexts& texts) {
  CANDIDATE& c = plan_.candidates[i];
  FrontEndCall call;
  const int answer =
      callbacks_.confirm
          ? callbacks_.confirm(texts.path.c_str(), texts.counterPath.c_str(), ClampToU32(c.size),
                               ClampToU32(c.counterSize), c.stamp, c.counterStamp, c.state)
          : 0;
  const auto confirm = [&c](uint16_t action) {
    c.state = ReplaceAction(c.state, action) | STATE_CONFIRMED;
  };
  switch (answer) {
    case TOLVEX_CONFIRM_NORMAL: confirm(STATE_NORMAL); break;
    case TOLVEX_CONFIRM_IGNORE: confirm(STATE_IGNORE); break;
    case TOLVEX_CONFIRM_ERASE: confirm(STATE_ERASE); break;
    case TOLVEX_CONFIRM_INVERT: confirm(STATE_INVERT); break;
    case TOLVEX_CONFIRM_IGNORE_GROUP: IgnoreGroupOf(i, true); break;
    case TOLVEX_CONFIRM_ASK_NO_MORE: askAll_ = true; break;
    case TOLVEX_CONFIRM_ABORT: plan_.Aborted = true; break;
    default: break;
  }
}

void UpdateRun::IgnoreGroupOf(size_t i, bool confirm) {
  const int32_t index = static_cast<int32_t>(i);
  // Without a group around it (an unknown sort mode builds none) the file
  // is a group of its own: skipping its group must never copy it.
  int32_t first = index;
  int32_t last = index;
  for (const FOLDER& group : plan_.groups) {
    if (index < group.first || index > group.last) continue;
    first = group.first;
    last = group.last;
    break;
  }
  for (int32_t k = first; k <= last; ++k) {
    plan_.candidates[k].state = ReplaceAction(plan_.candidates[k].state, STATE_IGNORE);
    if (confirm) plan_.candidates[k].state |= STATE_CONFIRMED;
  }
}

size_t UpdateRun::HandleCopyFailure(size_t i, uint32_t error, const CandidateTexts& texts,
                                    RunItem item, CopyProgressView& dialog) {
  const TParameters& p = parameters_;
  failed_.insert(i);
  item.item.outcome = TOLVEX_OUTCOME_FAILED;
  item.item.error = error;
  items_.Outcome(std::move(item));
  if (p.Warnings & TOLVEX_WARN_BEEP) Sys().Beep(kBeepExclamation);
  // Asked to stop (Ctrl-C; a second one stopped this very copy): no more
  // questions, the run ends with this copy not made.
  if (StopRequests() > 0) {
    plan_.Aborted = true;
    log_.Write(kEventCopyError, texts.FileEntry());
    return kStop;
  }
  if (!(p.Warnings & TOLVEX_WARN_ASK) && !plan_.InterruptRequest) {
    log_.Write(kEventCopyError, texts.FileEntry());
    return i + 1;
  }
  CANDIDATE& c = plan_.candidates[i];
  // Without a callback the failed copy is skipped: retrying is never the
  // default, or a lasting failure would keep the run busy for ever.
  std::optional<FrontEndCall> call;
  if (callbacks_.copyError) call.emplace();
  const int answer =
      callbacks_.copyError
          ? callbacks_.copyError(texts.path.c_str(), texts.counterPath.c_str(),
                                 ClampToU32(c.size), ClampToU32(c.counterSize), c.stamp,
                                 c.counterStamp, error)
          : TOLVEX_COPY_SKIP;
  switch (answer) {
    case TOLVEX_COPY_SKIP: c.state = ReplaceAction(c.state, STATE_IGNORE); break;
    case TOLVEX_COPY_SKIP_GROUP: IgnoreGroupOf(i, false); break;
    case TOLVEX_COPY_ERASE: c.state = ReplaceAction(c.state, STATE_ERASE); break;
    case TOLVEX_COPY_ABORT: plan_.Aborted = true; break;
    default: break;  // retry
  }
  call.reset();
  if (plan_.Aborted) return kStop;
  if (plan_.InterruptRequest) {
    plan_.InterruptRequest = false;
    dialog.EnableInterrupt();
  }
  lastFolder_ = -1;
  log_.Write(kEventCopyError, texts.FileEntry());
  return i;
}

void UpdateRun::RemoveEmptyFolders() {
  const TParameters& p = parameters_;
  if (!p.DeleteSrcDirs && !p.DeleteDestDirs) return;
  const int n = static_cast<int>(plan_.dirList.size());
  std::unique_ptr<SearchProgressView> dialog =
      OpenSearch(parameters_.Filename, plan_, "Erasing empty directories...", n);
  for (int k = n - 1; k >= 0; --k) {
    Sys().PumpStep();
    if (plan_.Aborted) break;
    const STRING& entry = plan_.dirList[k];
    if (RemovesFolder(entry)) RemoveFolder(entry.text(), entry.mark() == 1 ? 1 : 0);
    dialog->SetGaugePosition(n - k);
  }
  if (p.DeleteDestDirs) {
    // The lock file keeps Destination from being empty. Another run that
    // takes the lock now makes its own lock file there, and the folder
    // stays.
    lock_.reset();
    // Destination read as the folder it names, as everywhere in the run.
    for (const std::string& folder : {plan_.DestinationRoot, DestinationFolder(p.Destination)}) {
      RemoveFolder(folder, 1);
    }
  }
  dialog.reset();
  if (plan_.Aborted) LogAborted();
}

}  // namespace tolvex
