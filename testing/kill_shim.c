/* A library the crash tests preload into the tolvex command (LD_PRELOAD):
 * it counts the file-system calls that mark the moments of a run, and can
 * kill the process with SIGKILL at one of them, or make one folder's
 * listing fail half way. It changes nothing else.
 *
 *   TOLVEX_SHIM_KILL=CALL:N       SIGKILL right before the N-th CALL, one of
 *                                 renameat2 (the generation rotation's moves),
 *                                 renameat (a copy's rename over its target),
 *                                 unlink (an erasure: unlink, or unlinkat of
 *                                 a file), fsync (a copy's data made
 *                                 durable on its own), syncfs (a batch of
 *                                 copies made durable together);
 *   TOLVEX_SHIM_KILL=CALL:N:after SIGKILL right after it;
 *   TOLVEX_SHIM_COUNTS=FILE       at exit, one line "CALL COUNT" per call;
 *   TOLVEX_SHIM_READDIR_EIO=TEXT  readdir of a folder whose path contains
 *                                 TEXT gives two entries, then fails with EIO.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kRenameat2, kRenameat, kUnlink, kFsync, kSyncfs, kCalls };
static const char* const kNames[kCalls] = {"renameat2", "renameat", "unlink", "fsync", "syncfs"};
static unsigned long counts[kCalls];

/* True when TOLVEX_SHIM_KILL names this moment of `call`. */
static int Wanted(int call, int after) {
  const char* kill_at = getenv("TOLVEX_SHIM_KILL");
  if (!kill_at) return 0;
  const size_t length = strlen(kNames[call]);
  if (strncmp(kill_at, kNames[call], length) != 0 || kill_at[length] != ':') return 0;
  char* end = NULL;
  const unsigned long n = strtoul(kill_at + length + 1, &end, 10);
  const int wants_after = end != NULL && strcmp(end, ":after") == 0;
  return n == counts[call] && wants_after == after;
}

static void Before(int call) {
  ++counts[call];
  if (Wanted(call, 0)) raise(SIGKILL);
}

static void After(int call) {
  if (Wanted(call, 1)) raise(SIGKILL);
}

static void* Next(const char* name) { return dlsym(RTLD_NEXT, name); }

/* Each call: its moment before, the real call, its moment after. */
#define AROUND(call, expression)  \
  Before(call);                   \
  const int result = expression; \
  const int saved = errno;        \
  After(call);                    \
  errno = saved;                  \
  return result

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
              unsigned int flags) {
  int (*real)(int, const char*, int, const char*, unsigned int) = Next("renameat2");
  AROUND(kRenameat2, real(olddirfd, oldpath, newdirfd, newpath, flags));
}

int renameat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
  int (*real)(int, const char*, int, const char*) = Next("renameat");
  AROUND(kRenameat, real(olddirfd, oldpath, newdirfd, newpath));
}

int unlink(const char* path) {
  int (*real)(const char*) = Next("unlink");
  AROUND(kUnlink, real(path));
}

/* The erase pass removes files relative to their open folder. */
int unlinkat(int dirfd, const char* path, int flags) {
  int (*real)(int, const char*, int) = Next("unlinkat");
  if (flags & AT_REMOVEDIR) return real(dirfd, path, flags);
  AROUND(kUnlink, real(dirfd, path, flags));
}

int fsync(int fd) {
  int (*real)(int) = Next("fsync");
  AROUND(kFsync, real(fd));
}

int syncfs(int fd) {
  int (*real)(int) = Next("syncfs");
  AROUND(kSyncfs, real(fd));
}

/* The folders whose listing fails: the DIR streams opened on them. */
#define kMaxFailing 64
static DIR* failing[kMaxFailing];
static int served[kMaxFailing];

static void WatchIfFailing(DIR* dir, const char* path) {
  const char* text = getenv("TOLVEX_SHIM_READDIR_EIO");
  if (!dir || !text || !*text || !strstr(path, text)) return;
  for (int i = 0; i < kMaxFailing; ++i) {
    if (!failing[i]) {
      failing[i] = dir;
      served[i] = 0;
      return;
    }
  }
}

DIR* opendir(const char* path) {
  DIR* (*real)(const char*) = Next("opendir");
  DIR* dir = real(path);
  WatchIfFailing(dir, path);
  return dir;
}

/* A folder opened by descriptor: its path from the kernel. */
DIR* fdopendir(int fd) {
  DIR* (*real)(int) = Next("fdopendir");
  char link[32];
  char path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, path, sizeof path - 1);
  DIR* dir = real(fd);
  if (length > 0) {
    path[length] = '\0';
    WatchIfFailing(dir, path);
  }
  return dir;
}

int closedir(DIR* dir) {
  int (*real)(DIR*) = Next("closedir");
  for (int i = 0; i < kMaxFailing; ++i) {
    if (failing[i] == dir) failing[i] = NULL;
  }
  return real(dir);
}

static struct dirent* Listed(DIR* dir, struct dirent* (*real)(DIR*)) {
  for (int i = 0; i < kMaxFailing; ++i) {
    if (failing[i] == dir && dir) {
      if (served[i]++ >= 2) {
        errno = EIO;
        return NULL;
      }
    }
  }
  return real(dir);
}

struct dirent* readdir(DIR* dir) { return Listed(dir, (struct dirent * (*)(DIR*)) Next("readdir")); }
struct dirent64* readdir64(DIR* dir) {
  return (struct dirent64*)Listed(dir, (struct dirent * (*)(DIR*)) Next("readdir64"));
}

__attribute__((destructor)) static void WriteCounts(void) {
  const char* file = getenv("TOLVEX_SHIM_COUNTS");
  if (!file) return;
  FILE* out = fopen(file, "w");
  if (!out) return;
  for (int call = 0; call < kCalls; ++call) fprintf(out, "%s %lu\n", kNames[call], counts[call]);
  fclose(out);
}
