/* The 32-bit DLL as a plain C caller sees it: loaded with LoadLibraryA, every
 * export of the export table (include/tolvex32_exports.h) found by name and
 * by ordinal, each
 * called with the argument bytes the table gives it, and the stack pointer
 * compared before and after each call and at each callback. The exports use
 * the Windows API convention (the callee removes its arguments), the
 * callbacks the C convention (the caller removes them): a library built
 * with either one wrong corrupts a real caller's stack, while C++ callers
 * that share the library's header never notice.
 *
 * On purpose no C++ and nothing of include/tolvex32.h: the caller knows only
 * what the header documents (the values and callback types are written out
 * here), and calls every export through one helper that pushes the argument
 * words itself and measures how far ESP moved.
 *
 * Runs under Wine through scripts/wine-test.sh, which maps the test drives:
 * the job copies S:\Data to T:\Backup with U:\run.log as its log.
 * Exit status 0 when every check passed. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#if !defined(__i386__)
#error "the stack conventions matter on 32-bit x86 only"
#endif

/* One row per export of the export table: ordinal, name, bytes of
 * arguments (the table's types are not used: the arguments are pushed as
 * words). */
struct Export {
  int ordinal;
  const char* name;
  int argument_bytes;
};
static const struct Export exports[] = {
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters) \
  {ordinal, #name, argument_bytes},
#include "include/tolvex32_exports.h"
};
#define EXPORT_COUNT ((int)(sizeof exports / sizeof exports[0]))

static int failures;
static void fail(const char* what, const char* name, long value) {
  printf("FAIL: %s: %s (%ld)\n", name, what, value);
  failures++;
}

/* Calls `function` with `count` 32-bit words pushed right to left, the
 * stack aligned to 16 bytes at the call as a compiler's caller would have
 * it. Returns EAX; *moved is ESP after the call minus ESP before the words
 * were pushed, as the caller finds it before any cleanup of its own: 0 for
 * a callee that removes its arguments, -4 * count for one that leaves them. */
static uint32_t call_with_words(void* function, const uint32_t* words, int count, long* moved) {
  uint32_t result;
  long delta;
  __asm__ volatile(
      "movl %[count], %%ecx\n\t"    /* read before ESP moves (it may be ESP-based) */
      "movl %%esp, %%esi\n\t"       /* ESI, EDI and EBX survive the call in both conventions */
      "andl $-16, %%esp\n\t"
      "leal 0(,%%ecx,4), %%eax\n\t"
      "negl %%eax\n\t"
      "andl $15, %%eax\n\t"
      "subl %%eax, %%esp\n\t"       /* aligned again once the words are pushed */
      "movl %%esp, %%edx\n\t"       /* ESP before the arguments */
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%[words],%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "movl %%edx, %[words]\n\t"    /* the words are pushed: EDI keeps that ESP */
      "call *%[function]\n\t"
      "movl %%esp, %%edx\n\t"
      "subl %[words], %%edx\n\t"
      "movl %%esi, %%esp\n\t"       /* the caller's own ESP, whatever the callee did */
      : "=&a"(result), "=&d"(delta), [function] "+b"(function), [words] "+D"(words)
      : [count] "g"(count)
      : "ecx", "esi", "memory", "cc");
  *moved = delta;
  return result;
}

/* ---- The callbacks ------------------------------------------------------
 * Each notes where in the library it was called from (its return address)
 * and the stack pointer it found on entry. A library that leaves a
 * callback's arguments on the stack (or removes them twice) calls the next
 * callback of the same place with ESP moved by their size: a loop over the
 * files shows ESP walking one way in equal steps. One place may be reached
 * along a few paths of other depths (a helper that calls the callback), so
 * heights may differ, but they come back; four calls in a row each moving
 * ESP by the same step do not. Once the run is back, ESP must be where it
 * was before CallUpdate (checked like every export call), and a library
 * whose frames lost track of ESP seldom gets that far. */

enum { NOTIFY, CONFIRM, COPY_ERROR, MAKE_DIR, PLAN, OUTCOME, CALLBACK_KINDS };
static const char* const callback_names[CALLBACK_KINDS] = {
    "NotifyProc", "ConfirmProc", "CopyErrorProc", "MakeDirProc", "PlanProc", "OutcomeProc"};

struct Site {
  int kind;
  void* return_address;
  long calls;
  uintptr_t last_esp;
  long step;        /* ESP of the last call minus that of the one before */
  int steps_alike;  /* calls in a row that moved ESP by `step` (not 0) */
  int walked;       /* the most of them seen */
  long walked_step;
};
static struct Site sites[128];
static int site_count;
static long callback_calls[CALLBACK_KINDS];

/* frame: the callback's own frame address; its return address lies just
 * above the saved frame pointer, where ESP pointed on entry. */
static void note_callback(int kind, void* return_address, void* frame) {
  uintptr_t entry_esp = (uintptr_t)frame + 4;
  struct Site* site = NULL;
  int i;
  callback_calls[kind]++;
  for (i = 0; i < site_count; i++) {
    if (sites[i].kind == kind && sites[i].return_address == return_address) site = &sites[i];
  }
  if (!site) {
    if (site_count == (int)(sizeof sites / sizeof sites[0])) return;
    site = &sites[site_count++];
    site->kind = kind;
    site->return_address = return_address;
  }
  if (site->calls > 0) {
    long step = (long)(entry_esp - site->last_esp);
    site->steps_alike = step != 0 && step == site->step ? site->steps_alike + 1 : step != 0;
    site->step = step;
    if (site->steps_alike > site->walked) {
      site->walked = site->steps_alike;
      site->walked_step = step;
    }
  }
  site->last_esp = entry_esp;
  site->calls++;
}
#define NOTE(kind) note_callback(kind, __builtin_return_address(0), __builtin_frame_address(0))

/* The item the plan and outcome channels hand over, as documented. */
struct Item {
  uint64_t size, counter_size;
  int64_t number, limit;
  uint32_t struct_size;
  int32_t kind, reason, outcome;
  uint32_t error, state, stamp, counter_stamp;
  int32_t drive, side;
  const char* from;
  const char* to;
};
enum { ITEM_COPY = 1, OUTCOME_DONE = 1 };

static int notified_no_selections;
static long copies_done;

static int __cdecl on_notify(int code, int drive, int number) {
  NOTE(NOTIFY);
  (void)drive;
  (void)number;
  if (code == 10002) notified_no_selections = 1;
  return 1; /* OK */
}
static int __cdecl on_confirm(const char* path, const char* counter_path, uint32_t size,
                              uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                              int state) {
  NOTE(CONFIRM);
  (void)path, (void)counter_path, (void)size, (void)counter_size, (void)stamp,
      (void)counter_stamp, (void)state;
  return 10; /* copy as planned */
}
static int __cdecl on_copy_error(const char* path, const char* counter_path, uint32_t size,
                                 uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                 uint32_t error) {
  NOTE(COPY_ERROR);
  (void)path, (void)counter_path, (void)size, (void)counter_size, (void)stamp,
      (void)counter_stamp, (void)error;
  return 20; /* skip */
}
/* The front end makes the folders the run asks for, parents first. */
static int __cdecl on_make_dir(const char* folder) {
  char path[MAX_PATH];
  size_t i;
  NOTE(MAKE_DIR);
  snprintf(path, sizeof path, "%s", folder);
  for (i = 3; path[i]; i++) {
    if (path[i] != '\\') continue;
    path[i] = 0;
    CreateDirectoryA(path, NULL);
    path[i] = '\\';
  }
  return 0;
}
static int __cdecl on_plan(const struct Item* item) {
  NOTE(PLAN);
  (void)item;
  return 0; /* go on */
}
static void __cdecl on_outcome(const struct Item* item) {
  NOTE(OUTCOME);
  if (item->kind == ITEM_COPY && item->outcome == OUTCOME_DONE) copies_done++;
}

/* ---- The job ------------------------------------------------------------
 * The arguments each export is called with: S:\Data to T:\Backup, each file
 * confirmed, a failed copy asked about, the plan and outcome channels on,
 * no views. An export not named here (one added to the table later) gets
 * zero words: a null text counts as empty, 0 is each mode's default, a null
 * procedure turns its channel off. */
static int job_arguments(const char* name, uint32_t* w) {
#define POINTER(export, pointer) if (!strcmp(name, export)) return w[0] = (uint32_t)(uintptr_t)(pointer), 1
#define NUMBER(export, value) if (!strcmp(name, export)) return w[0] = (uint32_t)(value), 1
  POINTER("SetFilename", "Job.tvx");
  POINTER("SetDInclSel", "S:\\Data\\*");
  POINTER("SetFInclSel", "*.*");
  POINTER("SetDestination", "T:\\Backup\\");
  NUMBER("SetConfirmMode", 1);   /* ConfirmProc for each file */
  NUMBER("SetSortMode", 1);
  NUMBER("SetPathMode", 1);
  NUMBER("SetLastUpdate", 0xFFFFFFFFu);
  NUMBER("SetOrphanModeD2", 1);
  NUMBER("SetOrphanModeS2", 1);
  NUMBER("SetWarnings", 0x40);   /* CopyErrorProc asked about a failed copy */
  NUMBER("SetCreateDestDirs", 1);
  NUMBER("SetLogActive", 1);
  NUMBER("SetLogDetails", 2);
  POINTER("SetLogFile", "U:\\run.log");
  NUMBER("SetBlockColor1", 0x00FFFFFF);
  NUMBER("SetBlockColor2", 0x00C0C0C0);
  POINTER("SetWeekday", "Sunday");
  NUMBER("SetDateSeparator", '.');
  NUMBER("SetTimeSeparator", ':');
  POINTER("SetPlanProc", on_plan);
  POINTER("SetOutcomeProc", on_outcome);
  NUMBER("SetQuietViews", 1);
  if (!strcmp(name, "SetEraseLimit")) return w[0] = (uint32_t)-1, w[1] = 0, 1; /* off */
  if (!strcmp(name, "CallUpdate")) {
    w[0] = (uint32_t)(uintptr_t)on_notify;
    w[1] = (uint32_t)(uintptr_t)on_confirm;
    w[2] = (uint32_t)(uintptr_t)on_copy_error;
    w[3] = (uint32_t)(uintptr_t)on_make_dir;
    return 1;
  }
  return 0;
#undef POINTER
#undef NUMBER
}

static const char* const data_files[] = {"S:\\Data\\a.txt", "S:\\Data\\b.txt",
                                         "S:\\Data\\Sub\\c.txt", "S:\\Data\\Sub\\d.txt",
                                         "S:\\Data\\locked.txt"};
#define DATA_FILES ((int)(sizeof data_files / sizeof data_files[0]))

static void make_file(const char* path) {
  DWORD written;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    fail("cannot make the test file", path, (long)GetLastError());
    return;
  }
  WriteFile(file, path, (DWORD)strlen(path), &written, NULL);
  CloseHandle(file);
}

/* Calls one export with its table's argument bytes; checks ESP. */
static uint32_t call_export(const struct Export* export, void* function, const uint32_t* words) {
  long moved;
  uint32_t result = call_with_words(function, words, export->argument_bytes / 4, &moved);
  if (moved != 0) {
    fail(moved == -export->argument_bytes
             ? "the stack pointer moved across the call: the callee left its arguments"
             : "the stack pointer moved across the call",
         export->name, moved);
  }
  return result;
}

static int find_export(const char* name) {
  int i;
  for (i = 0; i < EXPORT_COUNT; i++) {
    if (!strcmp(exports[i].name, name)) return i;
  }
  fail("not in the export table", name, 0);
  return -1;
}

int main(void) {
  char dll_path[MAX_PATH];
  void* functions[EXPORT_COUNT];
  uint32_t words[EXPORT_COUNT][8];
  HMODULE dll;
  HANDLE locked;
  int i, call_update, clear_dincl, cancel_update;
  long places_checked = 0, calls_checked = 0;

  setvbuf(stdout, NULL, _IONBF, 0);
  /* The build's path, a Unix one under Wine: drive Z: is the root. */
  snprintf(dll_path, sizeof dll_path, "%s%s", TOLVEX_DLL[0] == '/' ? "Z:" : "", TOLVEX_DLL);
  for (i = 0; dll_path[i]; i++) {
    if (dll_path[i] == '/') dll_path[i] = '\\';
  }
  dll = LoadLibraryA(dll_path);
  if (!dll) {
    fail("LoadLibraryA failed", dll_path, (long)GetLastError());
    return 1;
  }

  /* Every export by name and by ordinal: one and the same function. */
  for (i = 0; i < EXPORT_COUNT; i++) {
    void* by_name = (void*)GetProcAddress(dll, exports[i].name);
    void* by_ordinal = (void*)GetProcAddress(dll, MAKEINTRESOURCEA(exports[i].ordinal));
    functions[i] = by_name;
    if (!by_name) fail("not exported under its name", exports[i].name, exports[i].ordinal);
    if (!by_ordinal) fail("no export at its ordinal", exports[i].name, exports[i].ordinal);
    if (by_name && by_ordinal && by_name != by_ordinal) {
      fail("its name and its ordinal lead to different functions", exports[i].name,
           exports[i].ordinal);
    }
    if (exports[i].argument_bytes % 4 != 0 || exports[i].argument_bytes > 32) {
      fail("argument bytes not a count of 32-bit words up to 8", exports[i].name,
           exports[i].argument_bytes);
      functions[i] = NULL;
    }
    memset(words[i], 0, sizeof words[i]);
    job_arguments(exports[i].name, words[i]);
  }
  call_update = find_export("CallUpdate");
  clear_dincl = find_export("ClearDInclSels");
  cancel_update = find_export("CancelUpdate");
  if (failures) return 1;

  CreateDirectoryA("S:\\Data", NULL);
  CreateDirectoryA("S:\\Data\\Sub", NULL);
  for (i = 0; i < DATA_FILES; i++) make_file(data_files[i]);
  /* Held open without sharing: its copy fails, and CopyErrorProc is asked. */
  locked = CreateFileA(data_files[DATA_FILES - 1], GENERIC_READ, 0, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);

  /* The configuration and the extension's settings, in the table's order;
   * then the run, a run without selections (NotifyProc 10002), and a
   * cancel left over after the runs. */
  for (i = 0; i < EXPORT_COUNT; i++) {
    if (i != call_update && i != cancel_update && functions[i]) {
      call_export(&exports[i], functions[i], words[i]);
    }
  }
  if (call_export(&exports[call_update], functions[call_update], words[call_update]) != 1) {
    fail("the run did not end with 1", "CallUpdate", 0);
  }
  if (callback_calls[CONFIRM] != DATA_FILES) {
    fail("ConfirmProc was not asked once per file", "CallUpdate", callback_calls[CONFIRM]);
  }
  if (callback_calls[COPY_ERROR] != 1) {
    fail("CopyErrorProc was not asked once, about the locked file", "CallUpdate",
         callback_calls[COPY_ERROR]);
  }
  if (copies_done != DATA_FILES - 1) {
    fail("OutcomeProc did not report each other file copied", "CallUpdate", copies_done);
  }
  if (callback_calls[MAKE_DIR] == 0) fail("MakeDirProc was not called", "CallUpdate", 0);
  if (callback_calls[PLAN] == 0) fail("PlanProc was not called", "CallUpdate", 0);
  CloseHandle(locked);

  call_export(&exports[clear_dincl], functions[clear_dincl], words[clear_dincl]);
  call_export(&exports[call_update], functions[call_update], words[call_update]);
  if (!notified_no_selections) fail("NotifyProc was not told 10002", "CallUpdate", 0);
  call_export(&exports[cancel_update], functions[cancel_update], words[cancel_update]);

  for (i = 0; i < site_count; i++) {
    places_checked++;
    calls_checked += sites[i].calls;
    printf("%-13s from %p: %ld call(s)\n", callback_names[sites[i].kind],
           sites[i].return_address, sites[i].calls);
    if (sites[i].walked >= 3) {
      fail("calls from one place in the library found ESP moved by the same step each time",
           callback_names[sites[i].kind], sites[i].walked_step);
    }
  }
  for (i = 0; i < CALLBACK_KINDS; i++) {
    if (callback_calls[i] == 0) fail("never called", callback_names[i], 0);
  }

  FreeLibrary(dll);
  if (failures) {
    printf("stack_conventions: %d check(s) failed\n", failures);
    return 1;
  }
  printf("stack_conventions: %d exports found by name and ordinal and called, ESP unchanged "
         "across each; %ld callback calls from %ld places, ESP not walking at any\n",
         EXPORT_COUNT, calls_checked, places_checked);
  return 0;
}
