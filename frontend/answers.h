// The command's answers to the engine's four callbacks.
//
// On a terminal the questions are asked with single keys. Without one, or
// with --yes / --no, the answers are fixed and never erase or overwrite more
// than the job says:
//
//   question                      --yes    --no     no terminal
//   midnight hint (10005)         log it   No (7)   log it
//   drive lacks space (10008)     go on    No (7)   No (7): the run stops
//   ConfirmProc (ConfirmMode 1)   70       20       never asked: without a
//                                                   terminal the command does
//                                                   not start such a job (70
//                                                   keeps every proposed
//                                                   action, 20 skips)
//   CopyErrorProc                 20       20       20  (skip; never retry,
//                                                   never erase)
//
// A person who chooses to erase is told which files go, with their sides
// and real paths, and is asked once more when the job did not plan it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "include/tolvex32.h"
#include "frontend/destination_wait.h"
#include "frontend/drive_map.h"
#include "frontend/item_record.h"
#include "frontend/terminal.h"

namespace tolvex::frontend {

enum class AnswerMode {
  kAsk,         // a person answers on the terminal
  kYes,         // --yes
  kNo,          // --no
  kNoTerminal,  // standard input is not a terminal
};

// What the callbacks saw of a run.
struct RunOutcome {
  bool ended_by_check = false;  // 10002, 10003, 10004, 10009, 10022 or 10023
  bool space_refused = false;   // 10008 answered No
  bool run_failed = false;      // 10010: the run stopped on an internal error
  bool log_failed = false;      // 10012: the log could not be written completely
  bool no_files = false;        // 10007: the plan holds nothing to do
  int copy_error_calls = 0;     // CopyErrorProc calls
  int retries = 0;              // of these, answered with retry
  int folders_not_made = 0;     // MakeDirProc could not create a folder
};

class Answers {
 public:
  // `silent_copy_errors`: the job did not ask to be consulted on failed
  // copies (the command set Warnings bit 0x40 only to hear of them), so they
  // are skipped without a question; an interruption is still asked about.
  Answers(AnswerMode mode, const DriveMap& drives, bool silent_copy_errors, std::ostream& out,
          KeyInput* keys);

  int Notify(int code, int drive, int number);
  int Confirm(const char* path, const char* counter_path, uint32_t size, uint32_t counter_size,
              uint32_t stamp, uint32_t counter_stamp, int state);
  int CopyError(const char* path, const char* counter_path, uint32_t size, uint32_t counter_size,
                uint32_t stamp, uint32_t counter_stamp, uint32_t error);
  // Creates the folder and its missing parents.
  void MakeDir(const char* folder);

  const RunOutcome& outcome() const { return outcome_; }

  // Who answers 10011 (another run holds the destination); without one the
  // run is refused at once.
  void set_destination_wait(DestinationWait* wait) { destination_wait_ = wait; }
  // The outcome channel's items so far: the failed copy that CopyErrorProc
  // asks about is the last of them, with the state word that tells which
  // files an erase would take.
  void set_outcomes(const std::vector<ItemRecord>* outcomes) { outcomes_ = outcomes; }

 private:
  // Reads keys until one of `keys` (or Enter, giving `enter`) comes;
  // the end of the input gives `at_end`.
  char Ask(const std::string& keys, char enter, char at_end);
  std::string DriveText(int drive) const;
  std::string FileText(const char* path, uint32_t size, uint32_t stamp) const;
  int AskYesNo(const std::string& question, bool enter_means_yes);
  // "erase the SOURCE file /a and the DESTINATION file /b": the candidate's
  // own file on `side` (0 source, 1 destination, -1 unknown) and the other
  // one when it exists, as the engine erases them.
  std::string EraseText(const char* own, const char* other, bool other_exists, int side) const;
  // Asked after the key e for an erase the job did not plan; true for yes.
  bool ConfirmUnplannedErase();
  // The state word of the copy CopyErrorProc asks about (the last failed
  // copy of the outcome channel); -1 when unknown.
  int FailedCopyState(const char* path, const char* counter_path) const;
  int NonInteractiveNotify(int code);

  AnswerMode mode_;
  const DriveMap& drives_;
  bool silent_copy_errors_;
  std::ostream& out_;
  KeyInput* keys_;
  DestinationWait* destination_wait_ = nullptr;
  const std::vector<ItemRecord>* outcomes_ = nullptr;
  RunOutcome outcome_;
};

// "copy", "skip", "erase" or "copy back" for a candidate state word.
std::string ActionName(int state);

}  // namespace tolvex::frontend
