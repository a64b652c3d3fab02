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

/* The event codes NotifyProc receives (the log uses the same numbers). */
enum TolvexNotifyCode {
  TOLVEX_NOTIFY_NO_SELECTIONS = 10002, /* no directory or no file include selection */
  TOLVEX_NOTIFY_IDENTICAL = 10003,     /* source and destination identical */
  TOLVEX_NOTIFY_DRIVE_NOT_FOUND = 10004, /* a drive cannot be queried (drive letter) */
  TOLVEX_NOTIFY_MIDNIGHT = 10005,      /* question: log the midnight hint? */
  TOLVEX_NOTIFY_NO_FILES = 10007,      /* the scan found nothing to do */
  TOLVEX_NOTIFY_LACKS_SPACE = 10008    /* question: go on although a drive lacks space? */
};

/* The answers the callbacks give. */
enum TolvexAnswer {
  TOLVEX_NOTIFY_NO = 7, /* NotifyProc: No (IDNO) to a question */
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

/* Runs one update with the stored job; 1 when done, 0 when the user aborted. */
TOLVEX_EXPORT int32_t TOLVEX_CALL CallUpdate(TNotifyProc notify, TConfirmProc confirm,
                                             TCopyErrorProc copy_error, TMakeDirProc make_dir);

#undef TOLVEX_TEXT_SETTER
#undef TOLVEX_INT_SETTER
#undef TOLVEX_CLEAR

#ifdef __cplusplus
}
#endif

#endif /* TOLVEX32_H */
