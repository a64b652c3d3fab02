// The log of one update run: a plain-text file with CR LF line ends, written
// by event code.
//
// The run creates one TLog from the log settings, opens it, writes one event
// per check and action, closes it and destroys it:
//
//   TLog log(p.LogActive, p.LogDateTime, p.LogDetails, p.LogFile, p.LogAppend, p.Filename,
//            p.DateSeparator, p.TimeSeparator);
//   log.Open();
//   log.Write(kEventStart);
//   log.Write(kEventLacksSpace, LogEntry::Shortfall('D', missing_bytes));
//   log.Write(kEventFileCopied, LogEntry::File(path, counter_path, LogSizeText(size),
//                                              counter_size_text, stamp_text,
//                                              counter_stamp_text));
//   log.Write(kEventEnd);
//   log.Close();
//
// What each event writes (a time line first where marked "timed", when
// dateTime is exactly 2):
//
//   10001 kEventStart             empty line, rule, date line (dateTime != 0), "Workfile: <job>"
//   10002 .. 10007                their one fixed line; 10004 names entry.drive
//   10009 kEventDrivesMeet        its one fixed line
//   10010 kEventRunFailed         its one fixed line
//   10011 kEventEraseLimit        its one fixed line
//   10014 kEventNotLocked         its one fixed line
//   10015 kEventSyncStateFailed   its one fixed line
//   10016 kEventDestinationMissing "Error: Destination folder missing (not created:
//                                 CreateDestDirs is off): T:\Backup\" from entry.path
//   10017 kEventRotationFailed    its one fixed line
//   10022 kEventFlatBothWays      its one fixed line
//   10023 kEventCaseApart         its one fixed line
//   10008 kEventLacksSpace        "Warning: Drive D: lacks 1.5 MB of storage space."
//                                 from entry.drive and entry.missingBytes
//   10100 kEventFileCopied        timed; file entry, second label "to"
//   10101 kEventFileSkipped       timed; file entry, second label "and"
//   10105 kEventCopyError         timed; file entry, second label "to"
//   10102 kEventFileErased        timed; erase entry (path, sizeText, stampText)
//   10104 kEventDirectoryDeleted  timed; folder entry (path, never shortened)
//   10106 kEventUnusableName      timed; folder entry (the native path)
//   10107 kEventMissingFolder     timed; folder entry (the include as given)
//   10108 kEventCaseTwin          timed; folder entry (the file, or folder with its backslash)
//   10109 kEventNameClash         timed; folder entry (the file left out)
//   10110 kEventConflict          timed; folder entry (the file, source side)
//   10111 kEventUnreadableFolder  timed; folder entry (the folder, with its backslash)
//   10112 kEventLinkNotFollowed   timed; folder entry (the link: a folder link with a
//                                 backslash, a file link in the destination tree without)
//   10113 kEventRotationBlocked   timed; folder entry (the generation folder)
//   10114 kEventEraseError        timed; erase entry for a file, folder entry
//   10115 kEventMoved             timed; folder entry (one end of a move)
//                                 for a folder (an entry without a size text)
//   10120 kEventSpecialEntry      timed; folder entry (a pipe, socket or device)
//   10255 kEventEnd               date line (dateTime != 0), rule
//   any other code                nothing
//
// File entries by details: 0 the label and path; 1 also size and stamp text;
// 2 a second line for the counterpart; 3 or more nothing. The erase entry has
// no second line. Paths in file and erase entries longer than 55 characters
// are shortened (log_text.h). Texts are written as they are (a '%' is just a
// character); control characters become '?', in the texts and in the date
// and time separators alike.
//
// A log that is not active, or whose file cannot be opened, writes nothing:
// the run goes on without a log. An active log that could not be opened,
// or lost a write (a full disk, a drive gone), says so through Failed(), so
// that the run can tell its caller that the log is not the whole story.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "log/log_events.h"

namespace tolvex {

// The arguments of one event; each event reads only the fields it needs.
struct LogEntry {
  char drive = 0;              // 10004, 10008: the drive letter
  uint64_t missingBytes = 0;   // 10008: the bytes the drive lacks
  std::string path;            // file events: the file; 10104: the folder; 10106: native path
  std::string counterPath;     // 10100, 10101, 10105: the counterpart
  std::string sizeText;        // LogSizeText of the size
  std::string counterSizeText; // empty for an absent counterpart
  std::string stampText;       // the stamp text
  std::string counterStampText;  // empty for an absent counterpart

  static LogEntry Drive(char drive);
  static LogEntry Shortfall(char drive, uint64_t missing_bytes);
  static LogEntry File(std::string path, std::string counter_path, std::string size_text,
                       std::string counter_size_text, std::string stamp_text,
                       std::string counter_stamp_text);
  static LogEntry Erased(std::string path, std::string size_text, std::string stamp_text);
  static LogEntry Folder(std::string path);
};

// The size text of an entry: "%9llu", the full 64-bit value right-aligned in
// nine columns (wider numbers take the room they need).
std::string LogSizeText(uint64_t size);

class TLog {
 public:
  // Copies the settings; opens nothing yet. The separators are those of the
  // date and time lines (written as they are, NUL included).
  TLog(uint8_t active, uint8_t dateTime, uint8_t details, std::string fileName, uint8_t append,
       std::string workFile, char dateSeparator, char timeSeparator);
  // Closes the file if Close was not called, so that no handle outlives the log.
  ~TLog();
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // When active: opens fileName through the platform, appending when append is
  // set, else replacing the content. Without a file afterwards the log is
  // silent.
  void Open();
  // Writes the lines of event `code` (table above). Does nothing without a file.
  void Write(int code, const LogEntry& entry = LogEntry());
  // Closes the file if one is open; later writes do nothing.
  void Close();

  bool IsOpen() const { return file != nullptr; }
  // True once an active log failed to open, or a write or the close failed.
  bool Failed() const { return failed; }

 private:
  void WriteLine(const std::string& line);
  void WriteDateLine();
  void WriteTimePrefix();
  void WriteFileEntry(const std::string& label, const std::string& second_label,
                      const LogEntry& entry);
  void WriteEraseEntry(const std::string& label, const LogEntry& entry);
  void WriteFolderEntry(const std::string& label, const std::string& path);
  void WriteEvent(int code, const LogEntry& entry);

  uint8_t active;
  uint8_t dateTime;
  uint8_t details;
  std::string fileName;
  uint8_t append;
  std::string workFile;
  char dateSeparator;
  char timeSeparator;
  std::FILE* file = nullptr;
  bool failed = false;
};

}  // namespace tolvex
