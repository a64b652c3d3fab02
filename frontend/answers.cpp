#include "frontend/answers.h"

#include <climits>
#include <cstdint>
#include <cstdio>

#include "frontend/error_text.h"
#include "frontend/value_forms.h"
#include "platform/platform.h"

namespace tolvex::frontend {

namespace {

// The engine hands over its 64-bit figures clamped to the callbacks' 32-bit
// arguments (the largest value, never wrapped): a clamped figure is only a
// lower bound, and says so. The log has the whole figure.
std::string Megabytes(int number) {
  char text[40];
  std::snprintf(text, sizeof text, "%s%.1f MB", number == INT_MAX ? "at least " : "",
                static_cast<uint32_t>(number) / 1048576.0);
  return text;
}

std::string Bytes(uint32_t size) {
  return (size == UINT32_MAX ? "at least " : "") + std::to_string(size) + " bytes";
}

// The Confirm answer that keeps the proposed action.
int CodeOfAction(int state) {
  switch (state & TOLVEX_STATE_ACTION) {
    case TOLVEX_STATE_IGNORE: return TOLVEX_CONFIRM_IGNORE;
    case TOLVEX_STATE_ERASE: return TOLVEX_CONFIRM_ERASE;
    case TOLVEX_STATE_INVERT: return TOLVEX_CONFIRM_INVERT;
    default: return TOLVEX_CONFIRM_NORMAL;
  }
}

const char* SideWord(int side) {
  return side == 0 ? "SOURCE file " : side == 1 ? "DESTINATION file " : "file ";
}

int SideOfState(int state) { return (state & TOLVEX_STATE_DEST_SIDE) ? 1 : 0; }

}  // namespace

std::string ActionName(int state) {
  switch (state & TOLVEX_STATE_ACTION) {
    case TOLVEX_STATE_NORMAL: return "copy";
    case TOLVEX_STATE_IGNORE: return "skip";
    case TOLVEX_STATE_ERASE: return "erase";
    case TOLVEX_STATE_INVERT: return "copy back";
    default: return "no action";
  }
}

Answers::Answers(AnswerMode mode, const DriveMap& drives, bool silent_copy_errors,
                 std::ostream& out, KeyInput* keys)
    : mode_(mode), drives_(drives), silent_copy_errors_(silent_copy_errors), out_(out),
      keys_(keys) {}

char Answers::Ask(const std::string& keys, char enter, char at_end) {
  out_.flush();
  for (;;) {
    const char key = keys_->ReadKey();
    if (key == 0) return at_end;
    if (key == '\n') return enter;
    const char lower = AsciiLowerText(std::string(1, key))[0];
    if (keys.find(lower) != std::string::npos) return lower;
  }
}

std::string Answers::DriveText(int drive) const {
  std::string text = std::string(1, static_cast<char>(drive)) + ":";
#if !defined(_WIN32)
  const std::string folder = drives_.FolderOf(static_cast<char>(drive));
  text += folder.empty() ? " (not in the drive table)" : " (" + folder + ")";
#endif
  return text;
}

std::string Answers::FileText(const char* path, uint32_t size, uint32_t stamp) const {
  if (size == 0 && stamp == 0) return drives_.ToNative(path) + " (absent)";
  return drives_.ToNative(path) + " (" + Bytes(size) + ", " + FormatStamp(stamp) + ")";
}

int Answers::AskYesNo(const std::string& question, bool enter_means_yes) {
  out_ << question << (enter_means_yes ? " [Y/n] " : " [y/N] ");
  const char key = Ask("yn", enter_means_yes ? 'y' : 'n', 'n');
  out_ << (key == 'y' ? "yes" : "no") << "\n";
  return key == 'y' ? TOLVEX_NOTIFY_YES : TOLVEX_NOTIFY_NO;
}

std::string Answers::EraseText(const char* own, const char* other, bool other_exists,
                               int side) const {
  std::string text = std::string("erase the ") + SideWord(side) + drives_.ToNative(own ? own : "");
  if (other_exists) {
    text += std::string(" and the ") + SideWord(side < 0 ? -1 : 1 - side) +
            drives_.ToNative(other ? other : "");
  }
  return text;
}

bool Answers::ConfirmUnplannedErase() {
  out_ << "  The job did not plan this erase; an erased file is gone for good. Erase? [y/N] ";
  const char key = Ask("yn", 'n', 'n');
  out_ << (key == 'y' ? "yes" : "no") << "\n";
  return key == 'y';
}

int Answers::FailedCopyState(const char* path, const char* counter_path) const {
  if (!outcomes_) return -1;
  for (auto item = outcomes_->rbegin(); item != outcomes_->rend(); ++item) {
    const bool copy = item->kind == TOLVEX_ITEM_COPY || item->kind == TOLVEX_ITEM_COPY_BACK ||
                      item->kind == TOLVEX_ITEM_SET_MODE;
    if (copy && item->outcome == TOLVEX_OUTCOME_FAILED && item->from == (path ? path : "") &&
        item->to == (counter_path ? counter_path : "")) {
      return static_cast<int>(item->state & 0xFFFF);
    }
  }
  return -1;
}

int Answers::NonInteractiveNotify(int code) {
  const bool yes = mode_ == AnswerMode::kYes || (mode_ == AnswerMode::kNoTerminal && code == TOLVEX_NOTIFY_MIDNIGHT);
  out_ << (yes ? "Answered yes" : "Answered no") << " ("
       << (mode_ == AnswerMode::kNoTerminal ? "no terminal" : mode_ == AnswerMode::kYes ? "--yes" : "--no")
       << ").\n";
  return yes ? TOLVEX_NOTIFY_YES : TOLVEX_NOTIFY_NO;
}

int Answers::Notify(int code, int drive, int number) {
  switch (code) {
    case TOLVEX_NOTIFY_NO_SELECTIONS:
      outcome_.ended_by_check = true;
      // The log names each source folder that is missing.
      out_ << "Stopped: the job names no source folder that exists ([DInclSels]) or no file "
              "pattern ([FInclSels]).\n";
      return 0;
    case TOLVEX_NOTIFY_IDENTICAL:
      outcome_.ended_by_check = true;
      out_ << "Stopped: source and destination are identical.\n";
      return 0;
    case TOLVEX_NOTIFY_DRIVE_NOT_FOUND: {
      outcome_.ended_by_check = true;
      uint64_t free_bytes = 0;
      const std::string root = std::string(1, static_cast<char>(drive)) + ":\\";
      if (Sys().DiskFreeSpace(root, &free_bytes) == kErrNotReady) {
        out_ << "Stopped: drive " << DriveText(drive)
             << " is not ready: no disk is mounted there (or none is inserted). Nothing was "
                "written; mount the disk and run again.\n";
      } else {
        out_ << "Stopped: drive " << DriveText(drive) << " not found.\n";
      }
      return 0;
    }
    case TOLVEX_NOTIFY_DESTINATION_MISSING:
      outcome_.ended_by_check = true;
      out_ << "Stopped: the destination folder is missing, and CreateDestDirs = no does not let "
              "the run make it (the log names the folder). Nothing was copied.\n";
      return 0;
    case TOLVEX_NOTIFY_ROTATION_FAILED:
      outcome_.ended_by_check = true;
      out_ << "Stopped: the generation folders could not be rotated (the log names the folder); "
              "the renames were undone and nothing was copied.\n";
      return 0;
    case TOLVEX_NOTIFY_DRIVES_MEET:
      outcome_.ended_by_check = true;
      out_ << "Stopped: source folders of different drives would share destination folders "
              "(with PathMode 2 every selection must lie on one drive).\n";
      return 0;
    case TOLVEX_NOTIFY_FLAT_BOTH_WAYS:
      outcome_.ended_by_check = true;
      out_ << "Stopped: a flat destination (PathMode 0) cannot be updated both ways "
              "(TouchMode 1).\n";
      return 0;
    case TOLVEX_NOTIFY_CASE_APART:
      outcome_.ended_by_check = true;
      out_ << "Stopped: two source folders differ only in letter case and would share one "
              "destination folder; name each folder once, in its own spelling.\n";
      return 0;
    case TOLVEX_NOTIFY_RUN_FAILED:
      outcome_.run_failed = true;
      out_ << "The run failed inside the engine (internal error); the log shows what was done.\n";
      return 0;
    case TOLVEX_NOTIFY_DESTINATION_BUSY: {
      const int answer = destination_wait_ ? destination_wait_->Answer() : TOLVEX_NOTIFY_OK;
      if (answer != TOLVEX_NOTIFY_RETRY) {
        outcome_.ended_by_check = true;
        if (!destination_wait_) out_ << "Stopped: another run is using the destination.\n";
      }
      return answer;
    }
    case TOLVEX_NOTIFY_LOG_FAILED:
      outcome_.log_failed = true;
      out_ << "Warning: the log could not be written completely; it does not show the whole "
              "run.\n";
      return 0;
    case TOLVEX_NOTIFY_SYNC_STATE_FAILED:
      out_ << "Warning: the sync state could not be written; the next run judges files on one "
              "side only by the state before this run.\n";
      return 0;
    case TOLVEX_NOTIFY_NO_FILES:
      // Said after the run, with the count of equal files the plan gives.
      outcome_.no_files = true;
      return 0;
    case TOLVEX_NOTIFY_MIDNIGHT:
      out_ << "It is shortly after midnight. The last day is included in the update.\n";
      if (mode_ != AnswerMode::kAsk) return NonInteractiveNotify(code);
      return AskYesNo("Note this in the log?", true);
    case TOLVEX_NOTIFY_LACKS_SPACE: {
      out_ << "Warning: drive " << DriveText(drive) << " lacks " << Megabytes(number)
           << " of storage space.\n";
      const int answer = mode_ == AnswerMode::kAsk ? AskYesNo("Run anyway?", false)
                                                   : NonInteractiveNotify(code);
      if (answer == TOLVEX_NOTIFY_NO) outcome_.space_refused = true;
      return answer;
    }
    default:
      out_ << "Engine event " << code << ".\n";
      return 0;
  }
}

int Answers::Confirm(const char* path, const char* counter_path, uint32_t size,
                     uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp, int state) {
  const bool invert = (state & TOLVEX_STATE_ACTION) == TOLVEX_STATE_INVERT;
  const std::string pair = ActionName(state) + ": " + FileText(path, size, stamp) +
                           (invert ? " <- " : " -> ") +
                           FileText(counter_path, counter_size, counter_stamp);
  if (mode_ != AnswerMode::kAsk) {
    const bool skip = mode_ == AnswerMode::kNo;
    out_ << pair << (skip ? "  [skipped: --no]\n" : "  [as proposed, for all files]\n");
    return skip ? TOLVEX_CONFIRM_IGNORE : TOLVEX_CONFIRM_ASK_NO_MORE;
  }
  // The engine erases the candidate's file (path, on its scanned side) and
  // its counterpart when there is one.
  const bool erase_planned = (state & TOLVEX_STATE_ACTION) == TOLVEX_STATE_ERASE;
  const std::string erase = EraseText(path, counter_path, counter_size != 0, SideOfState(state));
  for (;;) {
    out_ << pair << "\n  c copy  i ignore  v copy back  g skip group  a yes to all  q quit"
         << "\n  e " << erase << "\n  (Enter keeps " << ActionName(state) << ") ";
    const char key = Ask("ciegvaq", '\n', 'q');
    out_ << (key == '\n' ? ActionName(state) : std::string(1, key)) << "\n";
    switch (key) {
      case 'c': return TOLVEX_CONFIRM_NORMAL;
      case 'i': return TOLVEX_CONFIRM_IGNORE;
      case 'e':
        if (erase_planned || ConfirmUnplannedErase()) return TOLVEX_CONFIRM_ERASE;
        break;  // asked again
      case 'v': return TOLVEX_CONFIRM_INVERT;
      case 'g': return TOLVEX_CONFIRM_IGNORE_GROUP;
      case 'a': return TOLVEX_CONFIRM_ASK_NO_MORE;
      case 'q': return TOLVEX_CONFIRM_ABORT;
      default: return CodeOfAction(state);
    }
  }
}

int Answers::CopyError(const char* path, const char* counter_path, uint32_t, uint32_t counter_size,
                       uint32_t, uint32_t, uint32_t error) {
  ++outcome_.copy_error_calls;
  const std::string from = drives_.ToNative(path ? path : "");
  const std::string to = drives_.ToNative(counter_path ? counter_path : "");
  if (error == TOLVEX_ERROR_INTERRUPTED) {
    out_ << "Interrupted by you: " << from << " -> " << to << " (not copied).\n";
  } else {
    out_ << "Copy failed: " << from << " -> " << to << ": " << ExplainCopyError(error, from, to)
         << ".\n";
  }
  const bool asked_for = !silent_copy_errors_ || error == TOLVEX_ERROR_INTERRUPTED;
  if (mode_ != AnswerMode::kAsk || !asked_for) {
    out_ << "  skipped\n";
    return TOLVEX_COPY_SKIP;
  }
  // An inverted copy reaches CopyErrorProc with its paths swapped (not its
  // sizes); the engine erases the candidate's own file and its counterpart
  // when there is one. No plan erases a file whose copy it was making.
  const int state = FailedCopyState(path, counter_path);
  const bool swapped = state >= 0 && (state & TOLVEX_STATE_ACTION) == TOLVEX_STATE_INVERT;
  const std::string erase = EraseText(swapped ? counter_path : path, swapped ? path : counter_path,
                                      counter_size != 0, state < 0 ? -1 : SideOfState(state));
  for (;;) {
    out_ << "  r retry  s skip  g skip group  a abort\n  e " << erase << "\n  (Enter skips) ";
    const char key = Ask("rsgea", 's', 'a');
    out_ << key << "\n";
    switch (key) {
      case 'r': ++outcome_.retries; return TOLVEX_COPY_RETRY;
      case 'g': return TOLVEX_COPY_SKIP_GROUP;
      case 'e':
        if (ConfirmUnplannedErase()) return TOLVEX_COPY_ERASE;
        break;  // asked again
      case 'a': return TOLVEX_COPY_ABORT;
      default: return TOLVEX_COPY_SKIP;
    }
  }
}

void Answers::MakeDir(const char* folder) {
  std::string path = folder ? folder : "";
  if (!path.empty() && path.back() != '\\') path += '\\';
  // Nearly always the folder is there already or only its last level is
  // missing: one call answers then, where a walk from the drive root cost a
  // lookup a level for each folder a run copies into.
  if (path.size() > 4) {
    const uint32_t result = Sys().MakeFolder(path.substr(0, path.size() - 1));
    if (result == kErrOk || result == kErrAlreadyExists) return;
  }
  // Each level below the drive root, the target folder last.
  for (size_t end = path.find('\\', 3); end != std::string::npos; end = path.find('\\', end + 1)) {
    const std::string level = path.substr(0, end);
    const uint32_t result = Sys().MakeFolder(level);
    if (result != kErrOk && result != kErrAlreadyExists) {
      ++outcome_.folders_not_made;
      out_ << "Cannot create the folder " << drives_.ToNative(level) << ": " << ExplainError(result)
           << ".\n";
      return;
    }
  }
}

}  // namespace tolvex::frontend
