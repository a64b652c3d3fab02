// The update run behind CallUpdate: the checks, the working destination
// folder, the scan, the plan, the erase pass, the copy pass, the folder
// removal and the log, in that order, on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "include/tolvex32.h"
#include "log/tlog.h"
#include "model/records.h"

namespace tolvex {

class CopyProgressView;

// The four callbacks of the front end. A null callback is answered as if it
// had given its "no change" answer (a copy failure is then skipped).
struct RunCallbacks {
  TNotifyProc notify = nullptr;
  TConfirmProc confirm = nullptr;
  TCopyErrorProc copyError = nullptr;
  TMakeDirProc makeDir = nullptr;
};

// Runs one whole update with the job held in Parameters. Returns 0 when the
// user aborted, else 1 (also when a check ended the run early).
int32_t RunUpdate(const RunCallbacks& callbacks);

// The texts of one candidate, built when its turn comes.
struct CandidateTexts {
  std::string dir, path, counterDir, counterPath;
  std::string sizeText, stampText, counterSizeText, counterStampText;

  static CandidateTexts For(const CANDIDATE& c);
  // The opposite direction, for an Invert candidate.
  void Swap();
  LogEntry FileEntry() const;
};

// A 64-bit quantity as a 32-bit callback argument: clamped, never wrapped.
uint32_t ClampToU32(uint64_t value);
// MulDiv's rule in 64 bits: value * 100 / total rounded half up, -1 when the
// total is 0; clamped to the int range.
int PercentOf(uint64_t value, uint64_t total);

// Marks a call of the front end's callbacks for the run's views
// (RunUi::BeginFrontEndCall and EndFrontEndCall), for its whole scope.
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
  explicit UpdateRun(const RunCallbacks& callbacks);
  int32_t Run();

 private:
  // Everything between the header and the footer; returns where the run
  // ends early.
  void RunPhases();
  // The checks and phases that may end the run: false when it is to finish
  // at once (CheckPlan writes the empty-plan line and still returns true).
  bool CheckJob();
  // Refuses folders of two drives that would meet in the destination
  // (10009), and a destination whose scan would read source folders (10003):
  // log line and notification.
  bool CheckLayout(const std::string& destination_root);
  bool QueryDrives();
  // Reports each include whose folder is missing; ends the run as without
  // selections when none is left.
  bool CheckIncludesExist();
  bool PrepareDestination();
  bool ScanAndPlan();
  bool CheckPlan();
  bool WarnAboutSpace();
  bool Confirm();
  void ErasePass();
  void CopyPass();
  void RemoveEmptyFolders();
  void Finish();

  // The copy pass, one candidate at a time: its turn (abort, done, the
  // per-file question), then its decided action, then the copy itself.
  enum class Next { kNextCandidate, kSameCandidate, kStop };
  Next ProcessCandidate(size_t i, CopyProgressView& dialog);
  Next ApplyAction(size_t i, CandidateTexts texts, CopyProgressView& dialog);
  Next CopyCandidate(size_t i, const CandidateTexts& texts, CopyProgressView& dialog);
  void AskConfirmation(size_t i, const CandidateTexts& texts);
  void EraseCandidateFiles(const CANDIDATE& c, const CandidateTexts& texts);
  Next HandleCopyFailure(size_t i, uint32_t error, const CandidateTexts& texts,
                         CopyProgressView& dialog);
  void CreateTargetFolder(const CANDIDATE& c, const CandidateTexts& texts);
  void IgnoreGroupOf(size_t i, bool confirm);
  void SettlePartnerOf(size_t i);

  int Notify(int code, char drive, uint64_t number);
  // Writes the log lines of the findings not yet logged.
  void LogFindings();
  void LogAborted() { log_.Write(kEventAborted); }

  RunCallbacks callbacks_;
  TLog log_;
  bool askAll_ = false;
  int32_t lastFolder_ = -1;
  uint64_t copied_ = 0;
  size_t loggedFindings_ = 0;
  // Candidates skipped because the other of their conflict pair was carried
  // out: not asked about.
  std::unordered_set<size_t> settled_;
};

}  // namespace tolvex
