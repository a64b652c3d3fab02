// The extension's two channels to the front end (include/tolvex32.h): the
// plan, handed over before anything is erased or copied, and each outcome
// as it happens. Both are built from the same candidates and texts the
// passes use, so that what a plan says is what the run does. Nothing is
// sent where the front end set no procedure.
//
// The procedures are called as they are, not as a front-end call of the
// run's views: a front end that prints during them asks for quiet views.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/candidate_texts.h"
#include "engine/generation_folders.h"
#include "model/records.h"
#include "model/sync_state.h"
#include "model/run_extension.h"

namespace tolvex {

// One item and the texts its pointers will point to.
struct RunItem {
  TolvexItem item{};
  std::string from;
  std::string to;

  explicit RunItem(int32_t kind);
};

// The item of a copy, from the candidate's unswapped texts: an Invert
// candidate copies its counterpart onto its file.
RunItem CopyItemOf(const CANDIDATE& c, const CandidateTexts& texts);
// The item of a mode set (STATE_MODE_ONLY): the copy's item, of kind
// TOLVEX_ITEM_SET_MODE, with the mode given and the mode it replaces.
RunItem ModeItemOf(const CANDIDATE& c, const CandidateTexts& texts);
// The item of a candidate left alone, with why.
RunItem SkipItemOf(const CANDIDATE& c, const CandidateTexts& texts, int32_t reason);
// The files an Erase candidate erases, in the order the run erases them:
// its file, then its counterpart when there is one.
std::vector<RunItem> EraseItemsOf(const CANDIDATE& c, const CandidateTexts& texts,
                                  const SyncRun& sync_run);
// Why a two-way run erases an orphan: TOLVEX_REASON_DELETED_ELSEWHERE by
// the sync state, TOLVEX_REASON_OLDER_THAN_LAST_RUN by its stamp; NONE for
// other erasures.
int32_t EraseReasonOf(const CANDIDATE& c, const SyncRun& sync_run);
// Why a candidate whose action is not a copy or an erase is left alone.
int32_t SkipReasonOf(const CANDIDATE& c);

class RunItems {
 public:
  // `sync_run` notes each outcome for the sync state.
  RunItems(const TExtension& extension, SyncRun& sync_run)
      : extension_(extension), sync_run_(sync_run) {}

  bool Planning() const { return extension_.planProc != nullptr; }

  // Until the generation rotation (in a dry run, for good) the run scans
  // the folder that will become the working folder: its paths are shown as
  // the run names them.
  void ShowScannedRootAs(std::string scanned, std::string shown);
  // `path` as shown: below the working folder's name when it lies in the
  // scanned folder.
  std::string Shown(const std::string& path) const;

  // Sends an outcome (its `outcome` field set by the caller).
  void Outcome(RunItem item) const;
  void Found(const FINDING& finding) const;
  void Renamed(const RotationStep& step) const;
  void FolderRemoved(const std::string& folder, int side) const;
  // Sends one item of the plan; returns the front end's answer.
  int Plan(RunItem item) const;

 private:
  void Fill(RunItem& item, std::string* from, std::string* to) const;

  const TExtension& extension_;
  SyncRun& sync_run_;
  std::string scanned_root_;
  std::string shown_root_;
};

}  // namespace tolvex
