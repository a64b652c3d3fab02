/* The programming interface of the engine library: 44 configuration
 * functions and CallUpdate (ordinals 1 to 45), and an optional extension
 * from ordinal 46 on (at the end of this header) that a front end may use
 * to learn the plan and each action's outcome, run a plan without carrying
 * it out, and cancel a run. A caller of the first 45 alone never sees a
 * difference. Flat C, undecorated names; the Windows API calling convention
 * on 32-bit Windows (the callee removes the arguments), the C convention for
 * the callbacks. Texts are NUL-terminated 8-bit strings, copied on entry; a
 * null text counts as empty. */
#ifndef TOLVEX32_H
#define TOLVEX32_H

#include <stdint.h>

#if defined(_WIN32)
#define TOLVEX_CALL __stdcall
#define TOLVEX_CALLBACK __cdecl
#define TOLVEX_EXPORT
#else
#define TOLVEX_CALL
#define TOLVEX_CALLBACK
#define TOLVEX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The values of the configuration setters' modes and bits. */
enum TolvexVaryMode {        /* SetVaryMode: where a run writes below Destination */
  TOLVEX_VARY_NONE = 0,      /* Destination itself */
  TOLVEX_VARY_DATED = 1,     /* "A" + month, day, two-digit year */
  TOLVEX_VARY_WEEKDAY = 2,   /* the folder named by SetWeekday */
  TOLVEX_VARY_ODD_EVEN = 3,  /* "Odd" or "Even" by the day of the month */
  TOLVEX_VARY_GENERATIONS = 4 /* "Grandson", "Son", "Father", rotated each run */
};
enum TolvexConfirmMode {          /* SetConfirmMode */
  TOLVEX_CONFIRM_MODE_NONE = 0,      /* no confirmation */
  TOLVEX_CONFIRM_MODE_EACH_FILE = 1, /* ConfirmProc is asked for each file */
  TOLVEX_CONFIRM_MODE_OVERVIEW = 2   /* the overview shows the plan first */
};
enum TolvexSortMode { /* SetSortMode: the order of the plan */
  TOLVEX_SORT_BY_FOLDER = 0,
  TOLVEX_SORT_BY_NAME = 1,
  TOLVEX_SORT_BY_TYPE = 2,
  TOLVEX_SORT_BY_SIZE = 3, /* largest first */
  TOLVEX_SORT_BY_DATE = 4  /* newest first */
};
enum TolvexPathMode {       /* SetPathMode: how source folders map to destination folders */
  TOLVEX_PATH_FLAT = 0,     /* every file straight into the destination folder */
  TOLVEX_PATH_FULL = 1,     /* the whole source path below the destination */
  TOLVEX_PATH_RELATIVE = 2  /* the path below the common root of the selections */
};
enum TolvexTouchMode {           /* SetTouchMode: the update direction */
  TOLVEX_TOUCH_TO_DESTINATION = 0, /* source -> destination */
  TOLVEX_TOUCH_BOTH_WAYS = 1,      /* each side's newer files to the other */
  TOLVEX_TOUCH_TO_SOURCE = 2       /* destination -> source */
};
enum TolvexOrphanMode { /* SetOrphanMode*: a file on one side only */
  TOLVEX_ORPHAN_COPY = 0,
  TOLVEX_ORPHAN_IGNORE = 1,
  TOLVEX_ORPHAN_ERASE = 2
};
enum TolvexWarnings {         /* SetWarnings bits */
  TOLVEX_WARN_ASK = 0x40,     /* CopyErrorProc is asked about each failed copy */
  TOLVEX_WARN_BEEP = 0x80     /* a beep on each failed copy */
};
enum TolvexAttributes {             /* SetAttributes bits besides the search mask */
  TOLVEX_ATTR_OVERWRITE_READONLY = 0x01 /* a read-only target is made writable first */
};
enum TolvexDisplayMode { /* SetDisplayMode: the view of the overview */
  TOLVEX_VIEW_GROUPS = 0,
  TOLVEX_VIEW_DETAILED = 1,
  TOLVEX_VIEW_COMPACT = 2
};

/* The state word ConfirmProc receives: exactly one action in the low four
 * bits, flags above them. */
enum TolvexState {
  TOLVEX_STATE_NORMAL = 0x0001,          /* copy the scanned-side file onto the counterpart path */
  TOLVEX_STATE_IGNORE = 0x0002,          /* leave both files alone */
  TOLVEX_STATE_ERASE = 0x0004,           /* delete the file (and the counterpart, if any) */
  TOLVEX_STATE_INVERT = 0x0008,          /* copy the counterpart onto the scanned-side path */
  TOLVEX_STATE_ACTION = 0x000F,          /* mask of the action */
  TOLVEX_STATE_DEST_SIDE = 0x0010,       /* the scanned side is the destination tree */
  TOLVEX_STATE_BAND = 0x0020,            /* alternating band bit of the group */
  TOLVEX_STATE_SIZE_WARNING = 0x0040,    /* suspicious sizes */
  TOLVEX_STATE_COUNTER_CHANGED = 0x0080, /* counterpart written at or after LastUpdate */
  TOLVEX_STATE_DONE = 0x0100,            /* handled by the erase pass */
  TOLVEX_STATE_CONFIRMED = 0x0200,       /* decided by the per-file confirmation */
  /* Flags this engine adds: why the scan gave a candidate its action. */
  TOLVEX_STATE_CONFLICT = 0x0400,        /* both ways, one stamp and other sizes: one of a pair
                                            of candidates; only one of them is carried out,
                                            and without confirmation neither */
  TOLVEX_STATE_NAME_CLASH = 0x0800,      /* flat paths: another file of this name is newer (or
                                            first on a tie); skipped */
  TOLVEX_STATE_NEW_WORK = 0x1000,        /* both ways, on one side only, made since the last
                                            update: copied across, never erased */
  TOLVEX_STATE_DELETED_ELSEWHERE = 0x2000, /* both ways, on one side only and taken for deleted on
                                            the other side (by the sync state, or older than
                                            the last update): erased */
  TOLVEX_STATE_MOVED = 0x4000            /* both ways, one end of a move or rename (an orphan on
                                            each side, same size and stamp): copied across, so
                                            that neither end is lost */,
  TOLVEX_STATE_MODE_ONLY = 0x8000        /* POSIX: the pair differs only in its permission bits
                                            (same stamp and size): Normal gives the file's mode
                                            to its counterpart, Invert the counterpart's to the
                                            file; nothing is copied */
};

/* The event codes NotifyProc receives (the log uses the same numbers). */
enum TolvexNotifyCode {
  TOLVEX_NOTIFY_NO_SELECTIONS = 10002, /* no directory or no file include selection */
  TOLVEX_NOTIFY_IDENTICAL = 10003,     /* source and destination identical */
  TOLVEX_NOTIFY_DRIVE_NOT_FOUND = 10004, /* a drive cannot be queried (drive letter) */
  TOLVEX_NOTIFY_MIDNIGHT = 10005,      /* question: log the midnight hint? */
  TOLVEX_NOTIFY_NO_FILES = 10007,      /* the scan found nothing to do */
  TOLVEX_NOTIFY_LACKS_SPACE = 10008,   /* question: go on although a drive lacks space? */
  /* Checks this engine adds; each ends the run like 10002 to 10004. */
  TOLVEX_NOTIFY_DRIVES_MEET = 10009,   /* folders of two drives would share destination folders */
  TOLVEX_NOTIFY_RUN_FAILED = 10010,    /* the run stopped on an internal error (out of memory);
                                          CallUpdate returns 0 */
  TOLVEX_NOTIFY_DESTINATION_BUSY = 10012, /* question: another run (of this job or another one)
                                          holds the destination folder; answer 4 (IDRETRY)
                                          tries again, any other answer ends the run at once,
                                          writing nothing to its log (the drive letter is the
                                          destination's); CallUpdate returns 1 */
  TOLVEX_NOTIFY_LOG_FAILED = 10013,    /* at the end of a run whose log could not be opened or
                                          written completely; the answer is not used */
  TOLVEX_NOTIFY_SYNC_STATE_FAILED = 10015, /* after a completed two-way run: the sync state file
                                          (SetSyncState) could not be written; it keeps the
                                          list of the run before; the answer is not used */
  TOLVEX_NOTIFY_DESTINATION_MISSING = 10016, /* the working destination folder does not exist
                                          and CreateDestDirs is off: the run could copy
                                          nothing into it; ends the run before the scan
                                          (the drive letter is the destination's) */
  TOLVEX_NOTIFY_ROTATION_FAILED = 10017, /* generations: a rename of the rotation went otherwise
                                          than the plan was judged on (refused, or the
                                          folders changed meanwhile); the renames done are
                                          undone and the run ends before its first change,
                                          after the reports of the folders (10113) */
  TOLVEX_NOTIFY_FLAT_BOTH_WAYS = 10022, /* check: flat paths (PathMode 0) with TouchMode 1; no
                                          destination file could be paired with its folder */
  TOLVEX_NOTIFY_CASE_APART = 10023     /* check: includes apart only by letter case, whose
                                          destination folders would be one */
};

/* The log line of a run the front end stopped at the end of the plan (the
 * extension's TOLVEX_PLAN_STOP) because the plan erases more files than its
 * erase limit allows; CallUpdate then returns 0. No NotifyProc call. */
#define TOLVEX_EVENT_ERASE_LIMIT 10011

/* Reports the log makes of single files and folders a run found and left
 * alone (no NotifyProc call); a run keeps the same codes with what it found. */
enum TolvexReportCode {
  TOLVEX_REPORT_UNUSABLE_NAME = 10106,  /* a name the Windows namespace cannot hold */
  TOLVEX_REPORT_MISSING_FOLDER = 10107, /* a directory include whose folder does not exist */
  TOLVEX_REPORT_CASE_TWIN = 10108,      /* a name another in the same folder holds in other
                                           letter case: left alone on both sides */
  TOLVEX_REPORT_NAME_CLASH = 10109,     /* flat paths: a file whose name a newer file holds */
  TOLVEX_REPORT_CONFLICT = 10110,       /* a pair with one stamp and other sizes, left alone */
  TOLVEX_REPORT_UNREADABLE_FOLDER = 10111, /* a folder that could not be read (no access, an I/O
                                           error, a path too long, or a folder the scan saw that
                                           then read as missing): what it holds is left alone
                                           on both sides */
  TOLVEX_REPORT_LINK_NOT_FOLLOWED = 10112, /* a link to a folder (or a junction): not entered;
                                           in the destination tree also a link to a file:
                                           neither read nor written, nor its counterpart */
  TOLVEX_REPORT_ROTATION_BLOCKED = 10113,  /* generations: a rename of the rotation failed for
                                           another reason than a missing folder or a taken name,
                                           or a "Grandfather" folder is left over (it blocks
                                           every later rotation until it is moved away) */
  TOLVEX_REPORT_MOVED = 10115,          /* both ways, without a sync state for the working
                                           folder: one end of a file moved or renamed on one
                                           side (an orphan on each side, same size and stamp);
                                           both ends are copied across, so the move shows as
                                           a duplicate (reported once per end) */
  TOLVEX_REPORT_SPECIAL_ENTRY = 10120      /* an entry that is neither file, folder nor link (a
                                           pipe, a socket, a device): it and its counterpart
                                           are left alone on both sides */
};

/* The answers the callbacks give. */
enum TolvexAnswer {
  TOLVEX_NOTIFY_OK = 1,  /* NotifyProc: OK (IDOK) to a message */
  TOLVEX_NOTIFY_YES = 6, /* NotifyProc: Yes (IDYES) to a question */
  TOLVEX_NOTIFY_NO = 7,  /* NotifyProc: No (IDNO) to a question */
  TOLVEX_NOTIFY_RETRY = 4, /* NotifyProc: Retry (IDRETRY) to 10012 */
  /* ConfirmProc */
  TOLVEX_CONFIRM_NORMAL = 10,       /* copy as planned */
  TOLVEX_CONFIRM_IGNORE = 20,       /* leave both files alone */
  TOLVEX_CONFIRM_ERASE = 30,        /* erase the file (and its counterpart) */
  TOLVEX_CONFIRM_INVERT = 40,       /* copy the other way */
  TOLVEX_CONFIRM_IGNORE_GROUP = 60, /* leave the whole group alone */
  TOLVEX_CONFIRM_ASK_NO_MORE = 70,  /* keep this and every later plan, ask no more */
  TOLVEX_CONFIRM_ABORT = 80,        /* abort the run */
  /* CopyErrorProc */
  TOLVEX_COPY_RETRY = 10,
  TOLVEX_COPY_SKIP = 20,
  TOLVEX_COPY_SKIP_GROUP = 30,
  TOLVEX_COPY_ERASE = 40,
  TOLVEX_COPY_ABORT = 50
};

/* The error code CopyErrorProc receives for a copy the user interrupted. */
#define TOLVEX_ERROR_INTERRUPTED 0x20000000u

/* Event code, drive letter (or 0), number; 7 (IDNO) answers No. */
typedef int(TOLVEX_CALLBACK* TNotifyProc)(int code, int drive, int number);
/* path, counter path, size, counter size, stamp, counter stamp, state. */
typedef int(TOLVEX_CALLBACK* TConfirmProc)(const char* path, const char* counter_path,
                                           uint32_t size, uint32_t counter_size, uint32_t stamp,
                                           uint32_t counter_stamp, int state);
/* path, counter path, size, counter size, stamp, counter stamp, error code. */
typedef int(TOLVEX_CALLBACK* TCopyErrorProc)(const char* path, const char* counter_path,
                                             uint32_t size, uint32_t counter_size, uint32_t stamp,
                                             uint32_t counter_stamp, uint32_t error);
/* The folder to create (ends with a backslash); the result is ignored. */
typedef int(TOLVEX_CALLBACK* TMakeDirProc)(const char* folder);

#define TOLVEX_TEXT_SETTER(name) TOLVEX_EXPORT void TOLVEX_CALL name(const char* text);
#define TOLVEX_INT_SETTER(name) TOLVEX_EXPORT void TOLVEX_CALL name(int32_t value);
#define TOLVEX_CLEAR(name) TOLVEX_EXPORT void TOLVEX_CALL name(void);

TOLVEX_TEXT_SETTER(SetFilename)
TOLVEX_CLEAR(ClearDInclSels)
TOLVEX_CLEAR(ClearDExclSels)
TOLVEX_CLEAR(ClearFInclSels)
TOLVEX_CLEAR(ClearFExclSels)
TOLVEX_TEXT_SETTER(SetDInclSel)
TOLVEX_TEXT_SETTER(SetDExclSel)
TOLVEX_TEXT_SETTER(SetFInclSel)
TOLVEX_TEXT_SETTER(SetFExclSel)
TOLVEX_TEXT_SETTER(SetDestination)
TOLVEX_INT_SETTER(SetVaryMode)
TOLVEX_INT_SETTER(SetConfirmMode)
TOLVEX_INT_SETTER(SetSortMode)
TOLVEX_INT_SETTER(SetReverse)
TOLVEX_INT_SETTER(SetPathMode)
TOLVEX_INT_SETTER(SetAttributes)
TOLVEX_INT_SETTER(SetTouchMode)
TOLVEX_EXPORT void TOLVEX_CALL SetLeastDate(uint32_t stamp);
TOLVEX_EXPORT void TOLVEX_CALL SetLastUpdate(uint32_t stamp);
TOLVEX_INT_SETTER(SetOrphanModeD1)
TOLVEX_INT_SETTER(SetOrphanModeD2)
TOLVEX_INT_SETTER(SetOrphanModeB)
TOLVEX_INT_SETTER(SetOrphanModeS1)
TOLVEX_INT_SETTER(SetOrphanModeS2)
TOLVEX_INT_SETTER(SetWarnings)
TOLVEX_INT_SETTER(SetCreateSrcDirs)
TOLVEX_INT_SETTER(SetCreateDestDirs)
TOLVEX_INT_SETTER(SetDeleteSrcDirs)
TOLVEX_INT_SETTER(SetDeleteDestDirs)
TOLVEX_INT_SETTER(SetCheckSizes)
TOLVEX_INT_SETTER(SetLogActive)
TOLVEX_INT_SETTER(SetLogDateTime)
TOLVEX_INT_SETTER(SetLogDetails)
TOLVEX_TEXT_SETTER(SetLogFile)
TOLVEX_INT_SETTER(SetLogAppend)
TOLVEX_INT_SETTER(SetDisplayMode)
TOLVEX_EXPORT void TOLVEX_CALL SetBlockColor1(uint32_t color);
TOLVEX_EXPORT void TOLVEX_CALL SetBlockColor2(uint32_t color);
TOLVEX_INT_SETTER(SetSizeFilter)
TOLVEX_INT_SETTER(SetDoubleFilter)
TOLVEX_TEXT_SETTER(SetWeekday)
TOLVEX_INT_SETTER(SetDateSeparator)
TOLVEX_INT_SETTER(SetTimeSeparator)
TOLVEX_INT_SETTER(SetMidnight)

/* Runs one update with the stored job; 1 when done, 0 when the user aborted
 * or the run failed inside (NotifyProc was then told 10010). */
TOLVEX_EXPORT int32_t TOLVEX_CALL CallUpdate(TNotifyProc notify, TConfirmProc confirm,
                                             TCopyErrorProc copy_error, TMakeDirProc make_dir);

/* ---- The extension: ordinals 46 on --------------------------------------
 *
 * A front end that sets none of these gets exactly the run of the first 45
 * exports. Like the configuration values, the settings keep their last value
 * across runs.
 *
 * The run hands the front end one TolvexItem at a time, by pointer, valid
 * during the call only. Two channels:
 *   - PlanProc: the plan as the run is about to carry it out, once per run
 *     that gets that far: after the scan (with ConfirmMode 2 after the
 *     overview's OK), before anything is erased or copied. In order: the
 *     generation folder; in a dry run the renames of the rotation as they
 *     would go; the actions in the order the run carries them out (the
 *     erase pass, last candidate first, then the copy pass in list order);
 *     the unchanged pairs; the space figure of each drive; the erase figures
 *     of each side; then TOLVEX_ITEM_END, whose answer decides: go on, or
 *     stop before anything is erased or copied.
 *   - OutcomeProc: what the run did and found, as it happens: each rename of
 *     the rotation (made after the plan, once the run goes on; renames made
 *     back when the run then stops before its first change), each finding (also those the run ends on), each file
 *     erased or not, copied or not, its mode set or not, skipped, each folder
 *     made (SetEmptyFolders), each empty folder removed.
 *
 * Paths are in drive form; sizes and counts are 64-bit. The procedures are
 * called while the library's progress views may be up: a front end that
 * prints in them sets SetQuietViews(1). */

enum TolvexItemKind {
  TOLVEX_ITEM_COPY = 1,       /* a copy into the destination tree: from (source) -> to */
  TOLVEX_ITEM_COPY_BACK = 2,  /* a copy into the source tree: from (destination) -> to */
  TOLVEX_ITEM_ERASE = 3,      /* one file erased: from */
  TOLVEX_ITEM_SKIP = 4,       /* a candidate left alone: from, to; reason */
  TOLVEX_ITEM_FOLDER_REMOVED = 5, /* an empty folder removed: from; side. In the plan (after
                                     the actions), each folder the removal will find empty
                                     after the passes */
  TOLVEX_ITEM_FINDING = 6,    /* found and left alone: from; reason = TOLVEX_REPORT_* code */
  TOLVEX_ITEM_ROTATION = 7,   /* a rename of the generation rotation: from -> to */
  TOLVEX_ITEM_GENERATION = 8, /* the working destination folder the run writes: from */
  TOLVEX_ITEM_UNCHANGED = 9,  /* equal or older pairs, reason EQUAL or OLDER: with from, one
                                 pair; without, number = pairs and limit = their bytes */
  TOLVEX_ITEM_SPACE = 10,     /* drive: number = bytes needed (may be negative), limit =
                                 bytes available; reason LACKS_SPACE when it lacks */
  TOLVEX_ITEM_SIDE = 11,      /* side (0 source, 1 destination): number = files the plan
                                 erases there, limit = files present; reason ERASE_LIMIT when
                                 over the limit (SetEraseLimit) */
  TOLVEX_ITEM_END = 12,       /* the end of the plan: reason ERASE_LIMIT when a side is over the
                                 limit; state TOLVEX_PLAN_CONFIRMED when the overview showed
                                 that warning and its OK was pressed */
  TOLVEX_ITEM_SET_MODE = 13,  /* POSIX, a pair that differs only in its permission bits: the
                                 mode of from given to to, nothing copied; side as a copy's
                                 (0 into the destination tree); number = the mode given,
                                 limit = the mode it replaces */
  TOLVEX_ITEM_FOLDER_MADE = 14 /* a folder made through MakeDirProc for SetEmptyFolders: from;
                                  side (where it is made). In the plan (after the actions,
                                  before the removals), each folder no planned copy makes */
};

enum TolvexReason {
  TOLVEX_REASON_NONE = 0,
  TOLVEX_REASON_IGNORED_ORPHAN = 1, /* a file on one side only that the orphan mode ignores */
  TOLVEX_REASON_BY_USER = 2,        /* ignored in the overview or by an answer */
  TOLVEX_REASON_CONFLICT = 3,       /* STATE_CONFLICT: one stamp, other sizes */
  TOLVEX_REASON_NAME_CLASH = 4,     /* STATE_NAME_CLASH */
  TOLVEX_REASON_COPY_FAILED = 5,    /* skipped after its copy failed */
  TOLVEX_REASON_NO_ACTION = 6,      /* a state without a known action */
  TOLVEX_REASON_EQUAL = 7,          /* same stamp and size on both sides */
  TOLVEX_REASON_OLDER = 8,          /* one way: the other side's copy is newer */
  TOLVEX_REASON_LACKS_SPACE = 9,
  TOLVEX_REASON_ERASE_LIMIT = 10,
  /* ERASE items of orphans in two-way runs: why the file counts as deleted
   * on the other side (the side of `from` is the side that still has it). */
  TOLVEX_REASON_DELETED_ELSEWHERE = 11, /* the sync state: both sides held it after the last
                                           completed run, unchanged here since */
  TOLVEX_REASON_OLDER_THAN_LAST_RUN = 12 /* no sync state for the working folder: stamped
                                            before the last update (less its margin) */
};

enum TolvexOutcome {
  TOLVEX_OUTCOME_PLANNED = 0, /* every PlanProc item */
  TOLVEX_OUTCOME_DONE = 1,
  TOLVEX_OUTCOME_FAILED = 2,  /* error: the Windows error code (also of a failed erase) */
  TOLVEX_OUTCOME_SKIPPED = 3  /* reason says why */
};

/* PlanProc's answer to TOLVEX_ITEM_END (its answers to other items are
 * ignored). In a dry run the run ends after the plan whatever the answer. */
enum TolvexPlanAnswer { TOLVEX_PLAN_GO = 0, TOLVEX_PLAN_STOP = 1 };
#define TOLVEX_PLAN_CONFIRMED 0x0001u

/* Bits above the state word on a COPY, COPY_BACK, ERASE or SKIP item whose
 * `from` is a symbolic link that the run copies as a link, with its target
 * text (Linux; never on Windows): what the link leads to. */
#define TOLVEX_ITEM_LINK_TO_FILE 0x00010000u
#define TOLVEX_ITEM_LINK_TO_FOLDER 0x00020000u
#define TOLVEX_ITEM_LINK_DANGLING 0x00040000u
#define TOLVEX_ITEM_LINK_BITS 0x00070000u

/* SetDryRun: 0 runs; 1 hands over the plan and ends before the erase pass:
 * no log, nothing renamed (the rotation is judged on the folders as they
 * are, and the folder that would become "Grandson" is scanned, shown under
 * its new name), no midnight hint, a space shortage reported in the plan
 * instead of asked (no NotifyProc 10008), no overview, no ConfirmProc; 2 as
 * 1 and also lists each unchanged pair. CallUpdate returns 1 (0 when
 * cancelled). */
enum TolvexDryRun { TOLVEX_DRY_RUN_OFF = 0, TOLVEX_DRY_RUN_PLAN = 1, TOLVEX_DRY_RUN_LIST_ALL = 2 };

/* The error code of a copy stopped by a second CancelUpdate (the system's
 * ERROR_REQUEST_ABORTED): the target is as it was. */
#define TOLVEX_ERROR_COPY_STOPPED 1235u

/* One item. The 64-bit fields come first, so that the layout is the same
 * whatever a compiler's alignment of 64-bit fields inside structs. A later
 * version may append fields; struct_size tells how many bytes this one has. */
typedef struct TolvexItem {
  uint64_t size;         /* bytes of `from` (COPY, COPY_BACK, ERASE, SKIP, UNCHANGED) */
  uint64_t counter_size; /* bytes of `to` before the action; 0 when absent */
  int64_t number;        /* SPACE, SIDE, UNCHANGED: see the kinds */
  int64_t limit;         /* SPACE, SIDE, UNCHANGED: see the kinds */
  uint32_t struct_size;  /* sizeof(TolvexItem) of the library */
  int32_t kind;          /* TOLVEX_ITEM_* */
  int32_t reason;        /* TOLVEX_REASON_*; for FINDING the TOLVEX_REPORT_* code */
  int32_t outcome;       /* TOLVEX_OUTCOME_* */
  uint32_t error;        /* the Windows error code of a failure; 0 else */
  uint32_t state;        /* the candidate's state word (TOLVEX_STATE_*); END: flags */
  uint32_t stamp;        /* packed DOS stamp of `from` */
  uint32_t counter_stamp; /* of `to`; 0 when absent */
  int32_t drive;         /* SPACE: the drive letter; 0 else */
  int32_t side;          /* SIDE: 0 source tree, 1 destination tree; else the side of `from` */
  const char* from;      /* null where the kind has none */
  const char* to;
} TolvexItem;

/* The plan, item by item; the answer to TOLVEX_ITEM_END decides. */
typedef int(TOLVEX_CALLBACK* TPlanProc)(const TolvexItem* item);
/* Each outcome as it happens. */
typedef void(TOLVEX_CALLBACK* TOutcomeProc)(const TolvexItem* item);

/* 46: the plan channel; null turns it off. */
TOLVEX_EXPORT void TOLVEX_CALL SetPlanProc(TPlanProc proc);
/* 47: the outcome channel; null turns it off. */
TOLVEX_EXPORT void TOLVEX_CALL SetOutcomeProc(TOutcomeProc proc);
/* 48: TOLVEX_DRY_RUN_*; other values count as 0. */
TOLVEX_EXPORT void TOLVEX_CALL SetDryRun(int32_t mode);
/* 49: the erase guard. A side is over the limit when the plan erases more
 * than `count` of its files and more than `percent` per cent of the files
 * present there (every file scanned on that side, not only candidates).
 * A count below 0 turns the guard off (the default). The run only reports
 * it (TOLVEX_ITEM_SIDE, TOLVEX_ITEM_END, the overview's warning line); the
 * front end's answer to TOLVEX_ITEM_END stops the run. */
TOLVEX_EXPORT void TOLVEX_CALL SetEraseLimit(int32_t count, int32_t percent);
/* 50: non-zero: no progress views and no overview (which then counts as
 * Cancel). */
TOLVEX_EXPORT void TOLVEX_CALL SetQuietViews(int32_t quiet);
/* 51: async-signal-safe (a signal handler or a console control handler may
 * call it). The first call makes the run stop at its next check, as the
 * search dialog's Cancel does (a copy under way completes; no more questions;
 * the log gets its footer; CallUpdate returns 0); a second call also stops
 * the copy under way, whose temporary file is removed (the target stays as it
 * was; TOLVEX_ERROR_COPY_STOPPED). A run that starts after calls has them
 * counted already; CallUpdate clears them when it returns. */
TOLVEX_EXPORT void TOLVEX_CALL CancelUpdate(void);
/* 52: the sync state file of two-way runs (a path in drive form; null or
 * empty: none, the default). It holds, for each working destination folder,
 * the files (paths, sizes, stamps) both sides held after the last run into
 * that folder that completed with nothing failed. A two-way run with
 * OrphanModeB 2 reads it: an orphan that both sides held then, and that is
 * unchanged since, was deleted on the other side and is erased; any other
 * orphan is new and copied, whatever its stamp. A run into a working folder
 * the file holds no list of (a folder the job has not completed a run into)
 * copies every orphan. Without the file (a first run, a file that cannot be
 * read, or one written for other source folders), orphans older than
 * LastUpdate less two hours are erased, except both ends of a move, which
 * are copied and reported (TOLVEX_REPORT_MOVED); with a working folder that
 * changes (VaryMode 1 to 4) no orphan is erased. Each two-way run that
 * completes with nothing failed (no dry run) writes the file anew (a
 * temporary file "<path>.new" copied over it in one step), keeping the lists
 * of the other working folders; with VaryMode 4 the list is never used, since
 * the rotation gives the working folder another generation's content. */
TOLVEX_EXPORT void TOLVEX_CALL SetSyncState(const char* path);
/* Generations that share unchanged files: non-zero turns it on (default 0:
 * every file copied). With VaryMode 4, a file the run copies into Grandson
 * whose source has the size, stamp and attributes of its version in Son
 * (the newest generation before the rotation) becomes another name of that
 * version (a hard link) where the volume has them, else a copy; never a
 * read-only file. A later copy replaces such a name, never writes into it. */
TOLVEX_EXPORT void TOLVEX_CALL SetShareUnchanged(int32_t share);

/* 54: non-zero: the run mirrors the folders of the selection, empty ones
 * too. A scanned folder whose counterpart is missing is made there (through
 * MakeDirProc, after the copy pass; TOLVEX_ITEM_FOLDER_MADE in the plan and
 * as outcome) when its side's orphans are copied and the other side's
 * Create...Dirs is set; it is left alone when they are ignored; when they are
 * erased it is removed once empty, as the files are, with or without
 * Delete...Dirs (both ways with OrphanModeB 2: when the plan erases a file in
 * it as deleted on the other side, else it counts as new and is made). A
 * folder whose counterpart exists or is made is never removed by the folder
 * removal. Not mirrored: excluded folders, hidden or system folders the
 * attribute mask shares no bit with (below the selected folder), folders
 * reached through a link, and flat paths (PathMode 0). 0 (the default): a
 * folder is made only for a file copied into it. */
TOLVEX_EXPORT void TOLVEX_CALL SetEmptyFolders(int32_t mirror);

#undef TOLVEX_TEXT_SETTER
#undef TOLVEX_INT_SETTER
#undef TOLVEX_CLEAR

#ifdef __cplusplus
}
#endif

#endif /* TOLVEX32_H */
