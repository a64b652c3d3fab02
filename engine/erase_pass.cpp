// What the run erases: the erase pass, before any copy, takes the Erase
// candidates from the last to the first as the pass walk yields them
// (engine/pass_walk.h; there is none with the per-file question), and the
// folder removal, after the copy pass, the folders left empty. An erasure
// in the copy pass (one asked about, or a failed copy answered with Erase)
// erases the files as the erase pass does.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/pass_walk.h"
#include "engine/run_ui.h"
#include "engine/update_run.h"
#include "model/parameters.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

std::unique_ptr<SearchProgressView> UpdateRun::OpenSearchProgress(const std::string& status,
                                                                  int maximum) {
  std::unique_ptr<SearchProgressView> dialog =
      CurrentRunUi().OpenSearchDialog(DialogCaption(parameters_.Filename), plan_);
  dialog->SetStatusText(status);
  dialog->SetGaugeRange(0, maximum);
  dialog->SetGaugePosition(0);
  return dialog;
}

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

// Every candidate takes a turn (a pump step, a step of the gauge); an
// erased one is done, and the copy pass passes over it.
void UpdateRun::ErasePass(PassWalk& walk) {
  const int n = static_cast<int>(plan_.candidates.size());
  std::unique_ptr<SearchProgressView> dialog = OpenSearchProgress("Erasing files...", n);
  while (const std::optional<PassStep> step = walk.Next(PassStep::Pass::kErase)) {
    Sys().PumpStep();
    if (plan_.Aborted) break;
    if (step->kind == PassStep::Kind::kErase) {
      EraseCandidateFiles(plan_.candidates[step->candidate], step->texts);
      walk.Carried(step->candidate);
    }
    dialog->SetGaugePosition(n - static_cast<int>(step->candidate));
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

void UpdateRun::RemoveEmptyFolders() {
  const TParameters& p = parameters_;
  if (!RemovesAnyFolder()) return;
  const int n = static_cast<int>(plan_.dirList.size());
  std::unique_ptr<SearchProgressView> dialog =
      OpenSearchProgress("Erasing empty directories...", n);
  for (int k = n - 1; k >= 0; --k) {
    Sys().PumpStep();
    if (plan_.Aborted) break;
    const STRING& entry = plan_.dirList[k];
    if (RemovesFolder(static_cast<size_t>(k))) RemoveFolder(entry.text(), entry.mark() == 1 ? 1 : 0);
    dialog->SetGaugePosition(n - k);
  }
  if (p.DeleteDestDirs) {
    // The lock file keeps Destination from being empty. Another run that
    // takes the lock now makes its own lock file there, and the folder
    // stays.
    lock_.reset();
    // Destination read as the folder it names, as everywhere in the run.
    for (const std::string& folder : {plan_.DestinationRoot, DestinationFolder(p.Destination)}) {
      if (!KeepsFolder(folder)) RemoveFolder(folder, 1);
    }
  }
  dialog.reset();
  if (plan_.Aborted) LogAborted();
}

}  // namespace tolvex
