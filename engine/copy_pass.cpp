// The copy pass: the candidates in list order, as the pass walk yields
// them (engine/pass_walk.h: the per-file question, the waits for staged
// copies, the settled conflict partners), each copied, erased or skipped
// here, with the copy-error answers.
#include <memory>
#include <optional>
#include <utility>

#include "engine/copy_progress_feed.h"
#include "engine/pass_walk.h"
#include "engine/run_ui.h"
#include "engine/staged_steps.h"
#include "engine/update_run.h"
#include "model/parameters.h"
#include "model/run_extension.h"
#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {

namespace {

constexpr uint32_t kBeepExclamation = 0x30;

// A folder path without its trailing backslash (a drive root keeps it).
std::string Bare(const std::string& folder) {
  return folder.size() > 3 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
}

std::string LastName(const std::string& bare) { return bare.substr(bare.rfind('\\') + 1); }

std::string Parent(const std::string& bare) {
  const size_t at = bare.rfind('\\');
  return at <= 2 ? bare.substr(0, 3) : bare.substr(0, at);
}

}  // namespace

// The folders of `counter_dir` (the copy's target folder) that do not
// exist, top first, each with the folder of `dir` (the folder read) it
// stands for: the target folder itself stands for `dir`, and each folder
// above it for the folder above, as long as their names agree (from the
// first that differs up, the target's folders are the destination's own,
// as a flat run's destination folder is). *existing: the nearest folder
// of the target that exists.
std::vector<MissingFolder> MissingFolders(const std::string& dir, const std::string& counter_dir,
                                          std::string* existing) {
  std::vector<MissingFolder> missing;
  std::string target = Bare(counter_dir);
  std::string source = Bare(dir);
  uint32_t attributes = 0;
  while (target.size() > 3 && Sys().GetAttributes(target, &attributes) != kErrOk) {
    const bool same_name = source.size() > 3 && CompareText(LastName(source), LastName(target)) == 0;
    if (!same_name) source.clear();
    missing.push_back({source, target});
    target = Parent(target);
    if (!source.empty()) source = Parent(source);
  }
  *existing = target;
  return {missing.rbegin(), missing.rend()};
}

void UpdateRun::CopyPass(PassWalk& walk) {
  plan_.InterruptRequest = false;
  copied_ = 0;
  std::unique_ptr<CopyProgressView> dialog =
      CurrentRunUi().OpenCopyDialog(DialogCaption(parameters_.Filename), plan_);
  dialog->SetGaugePosition(0);
  while (std::optional<PassStep> step = walk.Next(PassStep::Pass::kCopy)) {
    if (step->kind == PassStep::Kind::kCompleteLastStaged) {
      CompleteStaged(walk, *dialog);
    } else {
      TakeCopyTurn(walk, std::move(*step), *dialog);
    }
  }
  // Each folder filled, also after a stop: the modes that refuse their
  // owner's writes are given now.
  FinishFolderModes();
}

void UpdateRun::TakeCopyTurn(PassWalk& walk, PassStep step, CopyProgressView& dialog) {
  const size_t i = step.candidate;
  if (heldInterruptFor_ && i >= *heldInterruptFor_) {
    plan_.InterruptRequest = true;
    heldInterruptFor_.reset();
  }
  Sys().PumpStep();
  if (plan_.Aborted) {
    // What was staged before the abort was under way: it is completed.
    CompleteStaged(walk, dialog);
    walk.Stop();
    return;
  }
  switch (step.kind) {
    case PassStep::Kind::kPassOver:
      return;
    case PassStep::Kind::kCompleteStaged:
      // Then this candidate again, or the one a failure there says.
      CompleteStaged(walk, dialog);
      return;
    case PassStep::Kind::kAsk: {
      const int answer = AskConfirmation(i, step.texts);
      if (answer == TOLVEX_CONFIRM_ABORT) plan_.Aborted = true;
      if (plan_.Aborted) return walk.Stop();
      step = walk.Answer(step, answer);
      break;
    }
    default:
      break;
  }
  CarryOut(walk, std::move(step), dialog);
}

void UpdateRun::CarryOut(PassWalk& walk, PassStep step, CopyProgressView& dialog) {
  const size_t i = step.candidate;
  const CANDIDATE& c = plan_.candidates[i];
  CandidateTexts& texts = step.texts;
  switch (step.kind) {
    case PassStep::Kind::kCopy: {
      RunItem item = CopyItemOf(c, texts);
      return CopyCandidate(walk, i, std::move(texts), false, std::move(item), dialog);
    }
    case PassStep::Kind::kInvertedCopy: {
      RunItem item = CopyItemOf(c, texts);
      texts.Swap();
      return CopyCandidate(walk, i, std::move(texts), true, std::move(item), dialog);
    }
    case PassStep::Kind::kSetMode:
      return SetModeOfCandidate(walk, i, texts, ModeItemOf(c, texts), dialog);
    case PassStep::Kind::kInvertedSetMode: {
      RunItem item = ModeItemOf(c, texts);
      texts.Swap();
      return SetModeOfCandidate(walk, i, texts, std::move(item), dialog);
    }
    case PassStep::Kind::kErase:
      EraseCandidateFiles(c, texts);
      walk.Carried(i);
      return;
    case PassStep::Kind::kSkip: {
      // Its line and outcome wait for the staged copies before it.
      RunItem skip = SkipItemOf(c, texts, walk.SkipReason(i));
      skip.item.outcome = TOLVEX_OUTCOME_SKIPPED;
      if (staged_.empty()) {
        Skipped(texts, std::move(skip));
      } else {
        staged_.AddSkip(i, std::move(texts), std::move(skip));
      }
      return;
    }
    default:
      return;
  }
}

// Copies the file of `texts.path` onto `texts.counterPath` (already swapped
// for an Invert candidate); the byte count keeps the unswapped size. `item`
// is the copy as the outcome channel names it. The copy is staged when the
// platform stages copies, and counts as done only when CompleteStaged has
// put it in place. A staged copy that reads or writes one of these files
// was put in place before this turn (the walk waits for it).
void UpdateRun::CopyCandidate(PassWalk& walk, size_t i, CandidateTexts texts,
                              bool inverted, RunItem item, CopyProgressView& dialog) {
  const TParameters& p = parameters_;
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
  if (plan_.InterruptRequest) {
    // The copies under way complete; this one is not tried. A staged copy
    // that fails meanwhile is handled first, as it would have been before
    // the click, and the walk comes back here with the click still held.
    if (!staged_.empty()) {
      plan_.InterruptRequest = false;
      heldInterruptFor_ = i;
      if (!CompleteStaged(walk, dialog)) return;
      heldInterruptFor_.reset();
      plan_.InterruptRequest = true;
    }
    return HandleCopyFailure(walk, i, TOLVEX_ERROR_INTERRUPTED, texts, std::move(item), dialog);
  }
  const CopyWatchScope watch(
      FeedCopyProgress(dialog, copied_ + staged_.bytes(), plan_.CopyBytes));
  bool linked = false;
  if (!TryLink(walk, i, texts, inverted, dialog, &linked)) return;
  if (linked) return CopyDone(walk, i, texts, std::move(item), dialog);
  const Platform::StageResult result = Sys().StageCopy(texts.path, texts.counterPath);
  if (result.staged) {
    staged_.AddCopy(i, std::move(texts), std::move(item), plan_.candidates[i].size);
    if (staged_.full()) CompleteStaged(walk, dialog);
    return;
  }
  // Done at once, or failed with nothing changed: the staged copies before
  // it come first, so that no failure is told before an earlier file's.
  if (!CompleteStaged(walk, dialog)) return;
  if (result.error != kErrOk) {
    return HandleCopyFailure(walk, i, result.error, texts, std::move(item), dialog);
  }
  CopyDone(walk, i, texts, std::move(item), dialog);
}

// Gives the file of `texts.path` its mode onto `texts.counterPath` (swapped
// for an Invert candidate), a platform call of its own; the walk waited for
// the staged copies before it. It fails and is answered as a copy would be.
void UpdateRun::SetModeOfCandidate(PassWalk& walk, size_t i, const CandidateTexts& texts,
                                   RunItem item, CopyProgressView& dialog) {
  dialog.ShowCopyRow(texts.path, texts.sizeText, texts.stampText);
  dialog.ShowToRow(texts.counterPath, texts.counterSizeText, texts.counterStampText);
  Sys().PumpStep();
  if (plan_.InterruptRequest) {
    return HandleCopyFailure(walk, i, TOLVEX_ERROR_INTERRUPTED, texts, std::move(item), dialog);
  }
  // Where generations share unchanged files, the target may be a name of
  // a version other generations hold too: a mode set on it would change
  // theirs. There the file is copied, which replaces that one name.
  const bool shares = Extension.shareUnchanged && parameters_.VaryMode == 4;
  const uint32_t error = shares ? Sys().CopyOver(texts.path, texts.counterPath)
                                : Sys().CopyMode(texts.path, texts.counterPath, 0, nullptr);
  if (error != kErrOk) return HandleCopyFailure(walk, i, error, texts, std::move(item), dialog);
  changed_ = true;
  // No event of the log has room for a mode: the line is the copy's, which
  // tells that the counterpart now is as the file.
  log_.Write(kEventFileCopied, texts.FileEntry());
  item.item.outcome = TOLVEX_OUTCOME_DONE;
  items_.Outcome(std::move(item));
  walk.Carried(i);
}

bool UpdateRun::TryLink(PassWalk& walk, size_t i, const CandidateTexts& texts, bool inverted,
                        CopyProgressView& dialog, bool* linked) {
  *linked = false;
  const std::string& root = plan_.DestinationRoot;
  // Only copies into the working generation, from outside it.
  if (sharedRoot_.empty() || texts.counterPath.compare(0, root.size(), root) != 0 ||
      texts.path.compare(0, root.size(), root) == 0) {
    return true;
  }
  const CANDIDATE& c = plan_.candidates[i];
  // The facts of the file copied: an Invert copies the counterpart.
  Platform::LinkedFile source;
  source.size = inverted ? c.counterSize : c.size;
  source.stamp = inverted ? c.counterStamp : c.stamp;
  source.attributes = inverted ? c.counterAttributes : c.attributes;
  // A read-only file is never shared: replacing or erasing one of its names
  // would need the bit cleared, which every name shares.
  if (source.attributes & kAttrReadOnly) return true;
  const std::string shared = sharedRoot_ + texts.counterPath.substr(root.size());
  // A link carries the mode of the version it names: only one whose mode
  // is the source's is shared (POSIX; elsewhere no mode is known). LinkOver
  // refuses another; with staged copies waiting it is asked first, so that
  // a version that cannot be shared does not put them in place early.
  if (const uint16_t mode = ModeOf(source.attributes); mode != 0) {
    source.mode = mode;
    Platform::ModeInfo info;
    if (!staged_.empty() &&
        (Sys().GetModeInfo(shared, &info) != kErrOk || ((info.mode ^ mode) & kModeBits) != 0)) {
      return true;
    }
  }
  // The link goes in place at once, so the staged copies before it first:
  // the targets change in plan order, and a failure among those copies is
  // handled before this file is touched.
  if (!CompleteStaged(walk, dialog)) return false;
  // Any refusal (another version, another volume, no links there) leaves
  // the target as it was, and the file is copied as ever.
  *linked = Sys().LinkOver(shared, texts.counterPath, source) == kErrOk;
  return true;
}

bool UpdateRun::CompleteStaged(PassWalk& walk, CopyProgressView& dialog) {
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
      // handled now, and the walk goes on from it as after any failure.
      HandleCopyFailure(walk, step.candidate, failure, step.texts, std::move(step.item), dialog);
      return false;
    }
    ++copies;
    CopyDone(walk, step.candidate, step.texts, std::move(step.item), dialog);
  }
  return true;
}

void UpdateRun::CopyDone(PassWalk& walk, size_t i, const CandidateTexts& texts, RunItem item,
                         CopyProgressView& dialog) {
  changed_ = true;
  copied_ += plan_.candidates[i].size;
  dialog.SetGaugePosition(PercentOf(copied_, plan_.CopyBytes));
  log_.Write(kEventFileCopied, texts.FileEntry());
  item.item.outcome = TOLVEX_OUTCOME_DONE;
  items_.Outcome(std::move(item));
  walk.Carried(i);
}

void UpdateRun::Skipped(const CandidateTexts& texts, RunItem item) {
  log_.Write(kEventFileSkipped, texts.FileEntry());
  items_.Outcome(std::move(item));
}

namespace {

// Makes `folder` (drive form, with its backslash) and each missing level
// above it; a level that cannot be made ends it (the copy then fails and
// says why).
void MakeFolderLevels(const std::string& folder) {
  for (size_t end = folder.find('\\', 3); end != std::string::npos; end = folder.find('\\', end + 1)) {
    const uint32_t result = Sys().MakeFolder(folder.substr(0, end));
    if (result != kErrOk && result != kErrAlreadyExists) return;
  }
}

}  // namespace

void UpdateRun::CreateTargetFolder(const CANDIDATE& c, const CandidateTexts& texts) {
  const TParameters& p = parameters_;
  if (c.dirIndex == lastFolder_) return;
  lastFolder_ = c.dirIndex;
  const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
  const bool makes =
      callbacks_.makeDir && ((!dest_side && p.CreateDestDirs) || (dest_side && p.CreateSrcDirs));
  std::string existing;
  const std::vector<MissingFolder> missing = MissingFolders(texts.dir, texts.counterDir, &existing);
  // A folder that refuses its owner's writes (a backup of a folder of mode
  // 500) is opened while the run writes into it.
  folderModes_.OpenForWriting(missing.empty() ? Bare(texts.dir) : std::string(), existing);
  // The front end hears of each target folder, made or there already.
  if (!makes) return;
  // Where names tell case apart the run finds them only as spelled, but
  // the front end's lookups may not: it would take "dir" for a missing
  // "Dir" and make nothing. The run makes such a folder itself first,
  // each level as spelled; the front end is asked all the same.
  if (plan_.namesTellCaseApart && !missing.empty()) MakeFolderLevels(texts.counterDir);
  {
    FrontEndCall call;
    callbacks_.makeDir(texts.counterDir.c_str());
  }
  // A folder the front end made is a change of the run, and takes the mode
  // of its source folder.
  // A folder that cannot be looked at is taken as made: its mode tells.
  uint32_t attributes = 0;
  for (const MissingFolder& folder : missing) {
    const uint32_t found = Sys().GetAttributes(folder.target, &attributes);
    if (found == kErrFileNotFound || found == kErrPathNotFound) break;
    changed_ = true;
    if (!folder.source.empty()) TakeModeForMadeFolder(folder.source, folder.target);
  }
}

// The per-file question, answered by the front end (no callback: no
// change); the walk makes the answer the candidate's action.
int UpdateRun::AskConfirmation(size_t i, const CandidateTexts& texts) {
  const CANDIDATE& c = plan_.candidates[i];
  FrontEndCall call;
  return callbacks_.confirm
             ? callbacks_.confirm(texts.path.c_str(), texts.counterPath.c_str(),
                                  ClampToU32(c.size), ClampToU32(c.counterSize), c.stamp,
                                  c.counterStamp, c.state)
             : 0;
}

// A failed copy: its outcome, and where the walk goes on. Without the
// question (or asked to stop) the walk goes on after it; with it, the
// answer may skip it, skip its group, erase it or abort, and the walk takes
// it again (to retry it, or to skip or erase it as answered).
void UpdateRun::HandleCopyFailure(PassWalk& walk, size_t i, uint32_t error,
                                  const CandidateTexts& texts, RunItem item,
                                  CopyProgressView& dialog) {
  const TParameters& p = parameters_;
  walk.CopyFailed(i);
  item.item.outcome = TOLVEX_OUTCOME_FAILED;
  item.item.error = error;
  items_.Outcome(std::move(item));
  if (p.Warnings & TOLVEX_WARN_BEEP) Sys().Beep(kBeepExclamation);
  // Asked to stop (Ctrl-C; a second one stopped this very copy): no more
  // questions, the run ends with this copy not made.
  if (StopRequests() > 0) {
    plan_.Aborted = true;
    log_.Write(kEventCopyError, texts.FileEntry());
    return walk.Stop();
  }
  if (!(p.Warnings & TOLVEX_WARN_ASK) && !plan_.InterruptRequest) {
    log_.Write(kEventCopyError, texts.FileEntry());
    return walk.GoOnAfter(i);
  }
  const CANDIDATE& c = plan_.candidates[i];
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
  if (answer == TOLVEX_COPY_ABORT) {
    plan_.Aborted = true;
  } else {
    walk.AnswerCopyFailure(i, answer);
  }
  call.reset();
  if (plan_.Aborted) return walk.Stop();
  if (plan_.InterruptRequest) {
    plan_.InterruptRequest = false;
    dialog.EnableInterrupt();
  }
  lastFolder_ = -1;
  log_.Write(kEventCopyError, texts.FileEntry());
  walk.Retake(i);
}

}  // namespace tolvex
