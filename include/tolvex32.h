/* The programming interface of the engine library: 44 configuration
 * functions and CallUpdate. Flat C, undecorated names; the Windows API
 * calling convention on 32-bit Windows (the callee removes the arguments),
 * the C convention for the four callbacks. Texts are NUL-terminated 8-bit
 * strings, copied on entry; a null text counts as empty. */
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
  TOLVEX_STATE_NEW_WORK = 0x1000         /* both ways, on one side only, made since the last
                                            update: copied across, never erased */
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
  TOLVEX_NOTIFY_RUN_FAILED = 10010     /* the run stopped on an internal error (out of memory);
                                          CallUpdate returns 0 */
};

/* Reports the log makes of single files and folders a run found and left
 * alone (no NotifyProc call); a run keeps the same codes with what it found. */
enum TolvexReportCode {
  TOLVEX_REPORT_UNUSABLE_NAME = 10106,  /* a name the Windows namespace cannot hold */
  TOLVEX_REPORT_MISSING_FOLDER = 10107, /* a directory include whose folder does not exist */
  TOLVEX_REPORT_CASE_TWIN = 10108,      /* a name another in the same folder holds in other
                                           letter case: left alone on both sides */
  TOLVEX_REPORT_NAME_CLASH = 10109,     /* flat paths: a file whose name a newer file holds */
  TOLVEX_REPORT_CONFLICT = 10110        /* a pair with one stamp and other sizes, left alone */
};

/* The answers the callbacks give. */
enum TolvexAnswer {
  TOLVEX_NOTIFY_OK = 1,  /* NotifyProc: OK (IDOK) to a message */
  TOLVEX_NOTIFY_YES = 6, /* NotifyProc: Yes (IDYES) to a question */
  TOLVEX_NOTIFY_NO = 7,  /* NotifyProc: No (IDNO) to a question */
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

#undef TOLVEX_TEXT_SETTER
#undef TOLVEX_INT_SETTER
#undef TOLVEX_CLEAR

#ifdef __cplusplus
}
#endif

#endif /* TOLVEX32_H */
