// The update run behind CallUpdate: the checks, the working destination
// folder, the scan, the plan, the erase pass, the copy pass, the folder
// removal and the log, in that order, on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/candidate_texts.h"
#include "engine/generation_folders.h"
#include "engine/run_items.h"
#include "engine/staged_steps.h"
#include "include/tolvex32.h"
#include "log/tlog.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "model/records.h"
#include "model/run_extension.h"
#include "platform/folder_modes.h"
#include "platform/platform.h"

namespace tolvex {

class CopyProgressView;
class PassWalk;
class SearchProgressView;
struct PassStep;

// The four callbacks of the front end. A null callback is answered as if it
// had given its "no change" answer (a copy failure is then skipped).
struct RunCallbacks {
  TNotifyProc notify = nullptr;
  TConfirmProc confirm = nullptr;
  TCopyErrorProc copyError = nullptr;
  TMakeDirProc makeDir = nullptr;
};

// Runs one whole update of the job `parameters` (CallUpdate's copy of the
// parameter set; the overview may change its view settings) with the settings of
// Extension (a dry run, the plan and outcome channels). Returns 0 when the
// user aborted (or asked the run to stop: CancelUpdate, the answer to the
// plan), else 1 (also when a check ended the run early, and after a dry run).
// Stop requests (platform/stop_request.h) are honoured at every pump step
// and forgotten when the run returns.
int32_t RunUpdate(TParameters& parameters, const RunCallbacks& callbacks);

// A 64-bit quantity as a 32-bit callback argument: clamped, never wrapped.
uint32_t ClampToU32(uint64_t value);
// MulDiv's rule in 64 bits: value * 100 / total rounded half up, -1 when the
// total is 0; clamped to the int range.
int PercentOf(uint64_t value, uint64_t total);

// Marks a call of the front end's callbacks for the run's views
// (RunUi::BeginFrontEndCall and EndFrontEndCall), for its whole scope.
// A folder a copy needs that does not exist, and the folder it stands for
// on the side read ("" when none: a folder of the destination's own).
struct MissingFolder {
  std::string source;
  std::string target;
};
std::vector<MissingFolder> MissingFolders(const std::string& dir, const std::string& counter_dir,
                                          std::string* existing);

class FrontEndCall {
 public:
  FrontEndCall();
  ~FrontEndCall();
  FrontEndCall(const FrontEndCall&) = delete;
  FrontEndCall& operator=(const FrontEndCall&) = delete;
};

// The erase pass, the copy pass and the folder removal share the run's log,
// callbacks and per-run state.
class UpdateRun {
 public:
  // Works on `parameters` (the run's copy of the parameter set) and fills
  // `plan`.
  UpdateRun(TParameters& parameters, Plan& plan, const RunCallbacks& callbacks);
  int32_t Run();

 private:
  // Everything between the header and the footer; returns where the run
  // ends early.
  void RunPhases();
  // Takes the lock of the destination folder (destination_lock.cpp).
  enum class Lock { kHeld, kUnprotected, kRefused };
  Lock LockDestination();
  // Removes the temporary files dead runs left in the scanned folders.
  void RemoveDeadTemporaries();
  // The rotation's reports: renames refused for another reason than a
  // missing folder or a taken name, a Grandfather left from before, one
  // left after.
  void ReportRotation(const Rotation& rotation);
  // The checks and phases that may end the run: false when it is to finish
  // at once (CheckPlan writes the empty-plan line and still returns true).
  bool CheckJob();
  // Refuses folders of two drives that would meet in the destination
  // (10009), a destination whose scan would read source folders (10003),
  // flat paths both ways (10022) and includes apart only by letter case
  // that would meet in the destination (10023): log line and notification.
  bool CheckLayout(const std::string& destination_root);
  bool QueryDrives();
  // Reports each include whose folder is missing; ends the run as without
  // selections when none is left.
  bool CheckIncludesExist();
  bool PrepareDestination();
  // Rotates the generation folders as judged before the scan and names the
  // scanned folder's entries by the working folder's name; false (logged,
  // reported) when the rotation went otherwise than judged, undone.
  bool TakeWorkingFolder();
  // The generation whose unchanged files the run shares (sharedRoot_).
  std::string SharedGeneration() const;
  // Ends the run (10016) when CreateDestDirs is off and the working
  // destination folder does not exist.
  bool CheckDestinationFolder();
  // A run that rotated and then stopped (aborted, or failed inside) before
  // it changed anything renames the generation folders back.
  void UndoRotationOfAStoppedRun(bool failed);
  bool ScanAndPlan();
  bool CheckPlan();
  bool WarnAboutSpace();
  bool Confirm();
  // The plan channel (plan_handout.cpp): the plan as the passes will carry
  // it out, then the end item; false when the front end stops the run
  // (logged, Aborted set). True at once without a plan procedure.
  bool HandOverPlan();
  // Hands over the plan's actions, walking the passes as the run will;
  // adds the paths the plan erases and writes to *erased and *written.
  void HandOverActions(std::vector<std::string>* erased, std::vector<std::string>* written);
  // The folders the folder removal will find empty after the passes, in
  // its order, with their side (folder_removals.cpp).
  std::vector<std::pair<std::string, int>> FoldersLeftEmpty(
      const std::vector<std::string>& erased, const std::vector<std::string>& written) const;
  // True when the folder removal tries entry `k` of dirList: its side
  // removes folders (or it is an orphaned folder), it is no folder the job
  // selects, and no mirrored folder (KeepsFolder).
  bool RemovesFolder(size_t k) const;
  // With SetEmptyFolders (engine/folder_fates.cpp): the fate of each folder
  // of dirList, judged once after the plan is made, before it is handed
  // out; the folders to make (in dirList order, with the side they are
  // made on), less those a planned copy into `written` makes; whether the
  // folder removal keeps `folder` (it or its counterpart exists or is
  // made); and the step after the copy pass that makes them.
  void JudgeFolderFates();
  struct FolderToMake {
    std::string folder;  // drive form, with its backslash
    int side;            // where it is made
    size_t index;        // its entry in dirList and counterpartList
  };
  std::vector<FolderToMake> FoldersToMake(const std::vector<std::string>& written) const;
  bool KeepsFolder(size_t k) const;
  // Entry `k` is gone from the other side, whose orphans are erased on its
  // side: the removal takes it once empty, whatever Delete...Dirs says.
  bool OrphanedFolder(size_t k) const;
  // Whether the folder removal runs at all: Delete...Dirs, or an orphaned
  // folder.
  bool RemovesAnyFolder() const;
  bool KeepsFolder(const std::string& folder) const;
  void MakeEmptyFolders();
  void HandOverFigures();
  // The passes carry out the steps of one walk (engine/pass_walk.h): the
  // erase pass and the folder removal in erase_pass.cpp, the copy pass in
  // copy_pass.cpp.
  void ErasePass(PassWalk& walk);
  void CopyPass(PassWalk& walk);
  void RemoveEmptyFolders();
  void Finish();
  std::unique_ptr<SearchProgressView> OpenSearchProgress(const std::string& status, int maximum);

  // The copy pass, one step at a time: its turn (the held interrupt, a pump
  // step, the abort), the question when the walk asks it, then the action.
  // Where the walk goes on is the walk's: the next candidate unless a
  // failure's answer says otherwise.
  void TakeCopyTurn(PassWalk& walk, PassStep step, CopyProgressView& dialog);
  void CarryOut(PassWalk& walk, PassStep step, CopyProgressView& dialog);
  // `inverted`: an Invert candidate's copy (texts swapped).
  void CopyCandidate(PassWalk& walk, size_t i, CandidateTexts texts, bool inverted,
                     RunItem item, CopyProgressView& dialog);
  // A pair whose modes alone differ: the mode set, as its own action.
  void SetModeOfCandidate(PassWalk& walk, size_t i, const CandidateTexts& texts, RunItem item,
                          CopyProgressView& dialog);
  // Generations that share unchanged files: makes the copy of candidate `i`
  // into Grandson another name of its version in sharedRoot_ when that
  // equals the source (the staged copies before it are put in place
  // first). *linked tells whether it did; false when a staged copy before
  // it failed (handled: the walk goes on where its answer says).
  bool TryLink(PassWalk& walk, size_t i, const CandidateTexts& texts, bool inverted,
               CopyProgressView& dialog, bool* linked);
  // Puts the staged copies in place and writes their lines and outcomes
  // (and those of the skipped files between them) in plan order. True when
  // all were put in place; else a failure was handled, and the walk goes
  // on where its answer says.
  bool CompleteStaged(PassWalk& walk, CopyProgressView& dialog);
  // A copy in place: its bytes on the gauge, its log line and outcome; the
  // walk settles its partner.
  void CopyDone(PassWalk& walk, size_t i, const CandidateTexts& texts, RunItem item,
                CopyProgressView& dialog);
  // A skipped file's log line and outcome.
  void Skipped(const CandidateTexts& texts, RunItem item);
  // The front end's answer to the per-file question (TOLVEX_CONFIRM_*).
  int AskConfirmation(size_t i, const CandidateTexts& texts);
  void EraseCandidateFiles(const CANDIDATE& c, const CandidateTexts& texts);
  // Removes one folder of the folder removal; logs it, or its failure (not
  // empty or already gone is no failure).
  // `side`: 0 the source tree, 1 the destination tree.
  void RemoveFolder(const std::string& folder, int side);
  void HandleCopyFailure(PassWalk& walk, size_t i, uint32_t error, const CandidateTexts& texts,
                         RunItem item, CopyProgressView& dialog);
  // Makes the copy's target folder when the job asks for it (the front
  // end's MakeDir); the folders made take their source folders' modes.
  void CreateTargetFolder(const CANDIDATE& c, const CandidateTexts& texts);
  // The modes of the folders the run made or opened (FolderModes), each
  // one not given logged as an error at copying that folder.
  void TakeModeForMadeFolder(const std::string& source, const std::string& made);
  void FinishFolderModes();
  void LogFolderModeFailed(const std::string& source, const std::string& folder);

  int Notify(int code, char drive, uint64_t number);
  // Writes the log lines of the findings not yet logged, and tells the
  // front end of them.
  void LogFindings();
  void LogAborted() { log_.Write(kEventAborted); }

  TParameters& parameters_;
  Plan& plan_;
  RunCallbacks callbacks_;
  // A dry run: the plan only, with no log and nothing changed.
  bool dryRun_;
  std::unique_ptr<FolderLock> lock_;
  TLog log_;
  RunItems items_;
  // OK in the overview with the erase limit's warning before the user
  // (OverviewAnswer): the plan goes to the front end as confirmed.
  bool eraseWarningSeen_ = false;
  int32_t lastFolder_ = -1;
  // The modes of the folders the run made or opened for writing, given at
  // the end of the copy pass.
  FolderModes folderModes_;
  uint64_t copied_ = 0;
  size_t loggedFindings_ = 0;
  // Copies staged on the platform, and the skipped files that wait for them.
  StagedSteps staged_;
  // An Interrupt that came while the staged copies before this candidate
  // were put in place: held for this candidate, so that a failure among
  // those copies is handled as it would have been before the click, and
  // the click still stops the copy it was meant for.
  std::optional<size_t> heldInterruptFor_;
  // The rotation of the generation folders, as judged before the scan, and
  // as made (no steps until then).
  Rotation judgedRotation_;
  Rotation rotation_;
  // Something was erased, copied, made, removed or had its attributes
  // changed (a folder the front end was asked to make counts).
  bool changed_ = false;
  // SetEmptyFolders, as the run started (never with flat paths); with it,
  // per dirList entry its FolderFate (folder_fates.cpp).
  bool mirrorsFolders_;
  std::vector<uint8_t> folderFates_;
  // Generations that share unchanged files (Extension.shareUnchanged): the
  // generation the rotation just named Son, which was the newest before it
  // (drive form, with its backslash); empty: every file is copied.
  std::string sharedRoot_;
  // The working folder the run writes; until the rotation (and all through
  // a dry run) plan_.DestinationRoot names the folder that holds its content
  // today.
  std::string shownRoot_;
};

}  // namespace tolvex
