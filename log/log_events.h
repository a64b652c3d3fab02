// The event codes of a run. The run addresses the log and NotifyProc with the
// same numbers.
#pragma once

#include "include/tolvex32.h"

namespace tolvex {

enum LogEvent : int {
  kEventStart = 10001,                               // header: rule, date line, job name
  kEventNoSelections = TOLVEX_NOTIFY_NO_SELECTIONS,  // no directory or no file include selection
  kEventIdentical = TOLVEX_NOTIFY_IDENTICAL,         // source and destination identical
  kEventDriveNotFound = TOLVEX_NOTIFY_DRIVE_NOT_FOUND, // a drive cannot be queried (drive letter)
  kEventMidnight = TOLVEX_NOTIFY_MIDNIGHT,           // the midnight hint
  kEventAborted = 10006,                             // aborted by the user
  kEventNoFiles = TOLVEX_NOTIFY_NO_FILES,            // the scan found no candidates
  kEventLacksSpace = TOLVEX_NOTIFY_LACKS_SPACE,      // a drive lacks space (drive letter, missing bytes)
  kEventDrivesMeet = TOLVEX_NOTIFY_DRIVES_MEET,      // folders of two drives meet in the destination
  kEventRunFailed = TOLVEX_NOTIFY_RUN_FAILED,        // the run stopped on an internal error
  kEventEraseLimit = TOLVEX_EVENT_ERASE_LIMIT,       // stopped at the plan: too many erasures
  kEventDestinationBusy = TOLVEX_NOTIFY_DESTINATION_BUSY, // NotifyProc only: another run holds it
  kEventLogFailed = TOLVEX_NOTIFY_LOG_FAILED,        // NotifyProc only: the log is incomplete
  kEventNotLocked = 10014,                           // the destination could not be locked
  kEventSyncStateFailed = TOLVEX_NOTIFY_SYNC_STATE_FAILED, // the sync state file was not written
  kEventDestinationMissing = TOLVEX_NOTIFY_DESTINATION_MISSING, // folder entry: the working folder
  kEventRotationFailed = TOLVEX_NOTIFY_ROTATION_FAILED,         // the rotation went otherwise
  kEventFlatBothWays = TOLVEX_NOTIFY_FLAT_BOTH_WAYS, // flat paths both ways are refused
  kEventCaseApart = TOLVEX_NOTIFY_CASE_APART,        // includes apart only by letter case
  kEventFileCopied = 10100,                          // file entry, second label "to"
  kEventFileSkipped = 10101,                         // file entry, second label "and"
  kEventFileErased = 10102,                          // erase entry
  kEventDirectoryDeleted = 10104,                    // folder entry
  kEventCopyError = 10105,                           // file entry, second label "to"
  kEventUnusableName = TOLVEX_REPORT_UNUSABLE_NAME,  // folder entry with a native path the scan skipped
  kEventMissingFolder = TOLVEX_REPORT_MISSING_FOLDER, // folder entry with an include the run left out
  kEventCaseTwin = TOLVEX_REPORT_CASE_TWIN,          // folder entry with a name left alone
  kEventNameClash = TOLVEX_REPORT_NAME_CLASH,        // folder entry with a file a flat run skipped
  kEventConflict = TOLVEX_REPORT_CONFLICT,           // folder entry with the source file of a conflict
  kEventUnreadableFolder = TOLVEX_REPORT_UNREADABLE_FOLDER,  // folder entry: a folder not read
  kEventLinkNotFollowed = TOLVEX_REPORT_LINK_NOT_FOLLOWED,   // folder entry: a folder link
  kEventRotationBlocked = TOLVEX_REPORT_ROTATION_BLOCKED,     // folder entry: a generation folder
  kEventMoved = TOLVEX_REPORT_MOVED,                 // folder entry: one end of a move, copied
  kEventSpecialEntry = TOLVEX_REPORT_SPECIAL_ENTRY,  // folder entry: a pipe, socket or device
  kEventEraseError = 10114,                          // erase entry (a file) or folder entry
  kEventEnd = 10255,                                 // footer: date line, rule
};

}  // namespace tolvex
