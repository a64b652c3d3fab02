// The event codes of a run. The run addresses the log and NotifyProc with the
// same numbers.
#pragma once

namespace tolvex {

enum LogEvent : int {
  kEventStart = 10001,             // header: rule, date line, job name
  kEventNoSelections = 10002,      // no directory or no file include selection
  kEventIdentical = 10003,         // source and destination identical
  kEventDriveNotFound = 10004,     // a drive cannot be queried (drive letter)
  kEventMidnight = 10005,          // the midnight hint
  kEventAborted = 10006,           // aborted by the user
  kEventNoFiles = 10007,           // the scan found no candidates
  kEventLacksSpace = 10008,        // a drive lacks space (drive letter, missing bytes)
  kEventFileCopied = 10100,        // file entry, second label "to"
  kEventFileSkipped = 10101,       // file entry, second label "and"
  kEventFileErased = 10102,        // erase entry
  kEventDirectoryDeleted = 10104,  // folder entry
  kEventCopyError = 10105,         // file entry, second label "to"
  kEventUnusableName = 10106,      // folder entry with a native path the scan skipped
  kEventEnd = 10255,               // footer: date line, rule
};

}  // namespace tolvex
