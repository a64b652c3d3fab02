#include "log/tlog.h"

#include <utility>

#include "log/log_text.h"
#include "platform/platform.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

constexpr size_t kLabelColumns = 21;
constexpr size_t kRuleLength = 110;
constexpr const char kColumnGap[] = "   ";

std::string Printable(const std::string& text) { return PrintableLogText(text, kNativeText); }

// "%21s: " with the label.
std::string LabelPrefix(const std::string& label) {
  return AlignRight(label, kLabelColumns, kNativeText) + ": ";
}

// "%21s: %-55s" with the shortened path.
std::string ShortEntry(const std::string& label, const std::string& path) {
  const std::string shortened = ShortenLogPath(Printable(path), kNativeText);
  return LabelPrefix(label) + AlignLeft(shortened, kLogPathColumns, kNativeText);
}

// "%21s: %-55s   %s   %s".
std::string LongEntry(const std::string& label, const std::string& path,
                      const std::string& size_text, const std::string& stamp_text) {
  return ShortEntry(label, path) + kColumnGap + Printable(size_text) + kColumnGap +
         Printable(stamp_text);
}

std::string TimeText(const LocalTime& now, char time_separator) {
  return TwoDigitTriple(now.hour, now.minute, now.second, time_separator);
}

std::string DateTimeText(const LocalTime& now, char date_separator, char time_separator) {
  const std::string date = TwoDigitTriple(now.month, now.day, now.year - 1900, date_separator);
  return date + " " + TimeText(now, time_separator);
}

std::string ShortfallLine(char drive, uint64_t missing_bytes) {
  const double megabytes = static_cast<double>(missing_bytes) / 1048576.0;
  char number[64];
  std::snprintf(number, sizeof number, "%.1f", megabytes);
  return std::string("Warning: Drive ") + drive + ": lacks " + number + " MB of storage space.";
}

// The fixed one-line events.
const char* FixedLine(int code) {
  switch (code) {
    case kEventNoSelections: return "Error: No source directories or files specified.";
    case kEventIdentical: return "Error: Source and destination are identical.";
    case kEventMidnight:
      return "Hint: It is shortly after midnight. The last day is included in the update.";
    case kEventAborted: return "Aborted by user.";
    case kEventNoFiles: return "No files found.";
    case kEventDrivesMeet:
      return "Error: Source directories of different drives meet in the destination.";
    case kEventRunFailed: return "Error: The run failed (internal error).";
    case kEventEraseLimit:
      return "Error: The plan erases more files than the erase limit allows; nothing was done.";
    case kEventNotLocked:
      return "Warning: The destination could not be locked against another run.";
    case kEventSyncStateFailed:
      return "Warning: The sync state could not be written; the next run judges by the one before.";
    case kEventRotationFailed:
      return "Error: The generation folders could not be rotated; nothing was done.";
    case kEventFlatBothWays:
      return "Error: A flat destination cannot be updated both ways.";
    case kEventCaseApart:
      return "Error: Source directories that differ only in letter case meet in the destination.";
    default: return nullptr;
  }
}

}  // namespace

std::string LogSizeText(uint64_t size) {
  return AlignRight(std::to_string(size), 9, TextMode::kBytes);
}

LogEntry LogEntry::Drive(char drive) {
  LogEntry entry;
  entry.drive = drive;
  return entry;
}

LogEntry LogEntry::Shortfall(char drive, uint64_t missing_bytes) {
  LogEntry entry;
  entry.drive = drive;
  entry.missingBytes = missing_bytes;
  return entry;
}

LogEntry LogEntry::File(std::string path, std::string counter_path, std::string size_text,
                        std::string counter_size_text, std::string stamp_text,
                        std::string counter_stamp_text) {
  LogEntry entry;
  entry.path = std::move(path);
  entry.counterPath = std::move(counter_path);
  entry.sizeText = std::move(size_text);
  entry.counterSizeText = std::move(counter_size_text);
  entry.stampText = std::move(stamp_text);
  entry.counterStampText = std::move(counter_stamp_text);
  return entry;
}

LogEntry LogEntry::Erased(std::string path, std::string size_text, std::string stamp_text) {
  LogEntry entry;
  entry.path = std::move(path);
  entry.sizeText = std::move(size_text);
  entry.stampText = std::move(stamp_text);
  return entry;
}

LogEntry LogEntry::Folder(std::string path) {
  LogEntry entry;
  entry.path = std::move(path);
  return entry;
}

TLog::TLog(uint8_t active, uint8_t dateTime, uint8_t details, std::string fileName,
           uint8_t append, std::string workFile, char dateSeparator, char timeSeparator)
    : active(active),
      dateTime(dateTime),
      details(details),
      fileName(std::move(fileName)),
      append(append),
      workFile(std::move(workFile)),
      dateSeparator(dateSeparator),
      timeSeparator(timeSeparator) {}

TLog::~TLog() { Close(); }

void TLog::Open() {
  if (active == 0 || file != nullptr) return;
  std::FILE* opened = nullptr;
  if (Sys().OpenForWrite(fileName, append != 0, &opened) == kErrOk && opened != nullptr) {
    file = opened;
  } else {
    failed = true;
  }
}

void TLog::Close() {
  if (file == nullptr) return;
  if (std::fclose(file) != 0) failed = true;
  file = nullptr;
}

void TLog::Write(int code, const LogEntry& entry) {
  if (file == nullptr) return;
  try {
    WriteEvent(code, entry);
  } catch (...) {
    // A line that cannot be built (out of memory) is lost like a failed write.
  }
  // Each event reaches the file at once: a log read during the run, or left
  // by a crash, shows everything done so far.
  if (std::fflush(file) != 0 || std::ferror(file)) failed = true;
}

void TLog::WriteEvent(int code, const LogEntry& entry) {
  if (const char* line = FixedLine(code)) return WriteLine(line);
  switch (code) {
    case kEventStart:
      WriteLine("");
      WriteLine(std::string(kRuleLength, '-'));
      if (dateTime != 0) WriteDateLine();
      return WriteLine("Workfile: " + Printable(workFile));
    case kEventDriveNotFound:
      // A job without a drive letter (no destination) has the letter 0: never a NUL in the text.
      return WriteLine(Printable(std::string("Error: Drive ") + entry.drive + ": not found."));
    case kEventDestinationMissing:
      return WriteLine("Error: Destination folder missing (not created: CreateDestDirs is off): " +
                       Printable(entry.path));
    case kEventLacksSpace: return WriteLine(ShortfallLine(entry.drive, entry.missingBytes));
    case kEventFileCopied: return WriteFileEntry("File copied", "to", entry);
    case kEventFileSkipped: return WriteFileEntry("File skipped", "and", entry);
    case kEventCopyError:
      // A folder (its mode not given) has no size and stamp: no columns.
      if (entry.sizeText.empty() && !entry.path.empty() && entry.path.back() == '\\') {
        WriteTimePrefix();
        if (details > 2) return;
        WriteLine(ShortEntry("Error at copying", entry.path));
        if (details == 2) WriteLine(ShortEntry("to", entry.counterPath));
        return;
      }
      return WriteFileEntry("Error at copying", "to", entry);
    case kEventFileErased: return WriteEraseEntry("File erased", entry);
    case kEventDirectoryDeleted: return WriteFolderEntry("Directory deleted", entry.path);
    case kEventUnusableName: return WriteFolderEntry("Unusable name", entry.path);
    case kEventMissingFolder: return WriteFolderEntry("Missing folder", entry.path);
    case kEventCaseTwin: return WriteFolderEntry("Case twin", entry.path);
    case kEventNameClash: return WriteFolderEntry("Name clash", entry.path);
    case kEventConflict: return WriteFolderEntry("Conflict", entry.path);
    case kEventUnreadableFolder: return WriteFolderEntry("Unreadable folder", entry.path);
    case kEventLinkNotFollowed: return WriteFolderEntry("Link not followed", entry.path);
    case kEventSpecialEntry: return WriteFolderEntry("Special file", entry.path);
    case kEventRotationBlocked: return WriteFolderEntry("Rotation blocked", entry.path);
    case kEventMoved: return WriteFolderEntry("Moved", entry.path);
    case kEventEraseError:
      // A file has its size and stamp; a folder (its backslash) has none.
      if (entry.sizeText.empty()) return WriteFolderEntry("Error at erasing", entry.path);
      return WriteEraseEntry("Error at erasing", entry);
    case kEventEnd:
      if (dateTime != 0) WriteDateLine();
      return WriteLine(std::string(kRuleLength, '-'));
    default: return;
  }
}

void TLog::WriteFileEntry(const std::string& label, const std::string& second_label,
                          const LogEntry& entry) {
  WriteTimePrefix();
  if (details == 0) return WriteLine(ShortEntry(label, entry.path));
  if (details > 2) return;
  WriteLine(LongEntry(label, entry.path, entry.sizeText, entry.stampText));
  if (details == 2) {
    WriteLine(LongEntry(second_label, entry.counterPath, entry.counterSizeText,
                        entry.counterStampText));
  }
}

void TLog::WriteEraseEntry(const std::string& label, const LogEntry& entry) {
  WriteTimePrefix();
  if (details == 0) return WriteLine(ShortEntry(label, entry.path));
  if (details > 2) return;
  WriteLine(LongEntry(label, entry.path, entry.sizeText, entry.stampText));
}

void TLog::WriteFolderEntry(const std::string& label, const std::string& path) {
  WriteTimePrefix();
  WriteLine(LabelPrefix(label) + Printable(path));
}

// One clock reading for both halves of the line. The separators are any
// byte the caller set: a control character among them is shown as '?'.
void TLog::WriteDateLine() {
  WriteLine(Printable(DateTimeText(Sys().Now(), dateSeparator, timeSeparator)));
}

void TLog::WriteTimePrefix() {
  if (dateTime == 2) WriteLine(Printable(TimeText(Sys().Now(), timeSeparator)));
}

// Every line is written whole, with CR LF on every platform.
void TLog::WriteLine(const std::string& line) {
  const std::string bytes = line + "\r\n";
  std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace tolvex
