// Free space, local time, the private profile, the pump step, beep, shell
// open, help, and the text and number helpers.
#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/posix/dos_wildcard.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/posix_pump.h"
#include "platform/posix/private_profile.h"
#include "platform/posix/win32_error.h"
#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool MakeFolders(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Where `program` is on PATH, or empty. Looked up before fork(), where only
// async-signal-safe calls are allowed.
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t at = 0;
  while (at <= folders.size()) {
    size_t end = folders.find(':', at);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > at ? folders.substr(at, end - at) : ".";
    const std::string candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return std::string();
}

// The middle child: starts the program in a grandchild and leaves at once,
// so that the program is nobody's zombie. Only async-signal-safe calls here.
[[noreturn]] void StartAndLeave(const char* executable, char* const argv[], int report) {
  const pid_t started = fork();
  if (started == 0) {
    setsid();  // away from the caller's terminal and its signals
    execv(executable, argv);
    const int error = errno;
    if (write(report, &error, sizeof error) < 0) _exit(127);
    _exit(127);
  }
  _exit(started < 0 ? 1 : 0);
}

// Starts `program argument` without a shell and without waiting for it. A
// pipe that exec closes tells whether the start worked.
bool StartDetached(const std::string& program, const std::string& argument) {
  const std::string executable = FindOnPath(program);
  if (executable.empty()) return false;
  std::string arg0 = executable;
  std::string arg1 = argument;
  char* const argv[] = {arg0.data(), arg1.data(), nullptr};
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t middle = fork();
  if (middle == 0) StartAndLeave(executable.c_str(), argv, report[1]);
  close(report[1]);
  int status = 0;
  while (middle > 0 && waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int exec_error = 0;
  ssize_t got = 0;
  do {
    got = read(report[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return middle > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

}  // namespace

uint32_t PosixPlatform::DiskFreeSpace(const std::string& root, uint64_t* free_bytes) {
  DrivePath drive_path;
  if (!SplitDrivePath(root, &drive_path)) return kErrPathNotFound;
  const std::string* folder = drives_.Root(drive_path.letter);
  if (!folder) return kErrPathNotFound;
  if (drives_.NotReady(drive_path.letter)) return kErrNotReady;
  struct statvfs info;
  if (statvfs(folder->c_str(), &info) != 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  *free_bytes = static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
  return kErrOk;
}

uint64_t PosixPlatform::TickMilliseconds() {
  struct timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

LocalTime PosixPlatform::Now() {
  const time_t now = time(nullptr);
  struct tm parts = {};
  localtime_r(&now, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;  // no leap second on Windows
  t.weekday = parts.tm_wday;
  return t;
}

int32_t PosixPlatform::LocalOffsetMinutes() {
  const time_t now = time(nullptr);
  struct tm parts = {};
  localtime_r(&now, &parts);
  return static_cast<int32_t>(parts.tm_gmtoff / 60);
}

// A profile named without a folder lives in the configuration folder (as
// Windows keeps such files in its own folder); one with a drive path is
// resolved like any other file.
std::string PosixPlatform::ProfilePath(const std::string& file, bool for_writing,
                                       uint32_t* error) {
  *error = kErrOk;
  if (file.find_first_of("\\/:") == std::string::npos) {
    const std::string folder = ProfileFolder();
    if (for_writing && !MakeFolders(folder)) *error = Win32FromErrno(errno, ErrnoSite::kFolder);
    int lookup_error = 0;
    const std::optional<std::string> stored = StoredName(folder, file, &lookup_error);
    return JoinNative(folder, stored ? *stored : file);
  }
  NativeEntry entry;
  *error = Resolve(file, false, &entry);
  return entry.path;
}

uint32_t PosixPlatform::ProfileInt(const std::string& file, const std::string& section,
                                   const std::string& key, uint32_t fallback) {
  const std::string value = ProfileString(file, section, key, std::string());
  return ProfileIntFromText(value, fallback);
}

std::string PosixPlatform::ProfileString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& fallback) {
  uint32_t error = kErrOk;
  const std::string path = ProfilePath(file, false, &error);
  if (error != kErrOk) return fallback;
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return fallback;
  return ReadProfileValue(*text, section, key).value_or(fallback);
}

bool PosixPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& value) {
  uint32_t error = kErrOk;
  const std::string path = ProfilePath(file, true, &error);
  if (error != kErrOk) return false;
  const std::string text =
      WriteProfileValue(ReadWholeFile(path).value_or(std::string()), section, key, value);
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  return ReplaceWithText(folder, path.substr(slash + 1), text, 0644) == kErrOk;
}

bool PosixPlatform::TakeOneMessage() { return PumpOneKey(); }

void PosixPlatform::Beep(uint32_t /*type*/) {
  // The controlling terminal's bell; without a terminal there is nothing
  // to ring, which is no error.
  const int tty = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (tty < 0) return;
  if (write(tty, "\a", 1) < 0) {
    // Nothing to do: a bell that cannot ring is not worth a report.
  }
  close(tty);
}

bool PosixPlatform::ShellOpen(const std::string& target) {
  std::string native = target;
  DrivePath drive_path;
  if (SplitDrivePath(target, &drive_path)) {
    NativeEntry entry;
    if (Resolve(target, true, &entry) != kErrOk) return false;
    native = entry.path;
  }
  return StartDetached("xdg-open", native);
}

// There is no help viewer for the Windows help format on POSIX.
bool PosixPlatform::ShowHelp(const std::string& /*file*/, uint32_t /*context*/) { return false; }

int PosixPlatform::CompareExact(const std::string& a, const std::string& b) {
  // std::string compares bytes as unsigned values (memcmp).
  const int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

std::string PosixPlatform::UpperCase(const std::string& text) {
  // ASCII only: bytes of multi-byte UTF-8 characters stay as they are.
  return AsciiUpperText(text);
}

int32_t PosixPlatform::MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const uint64_t magnitude = product < 0 ? static_cast<uint64_t>(-product) : product;
  const uint64_t divisor = c < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(c)) : c;
  uint64_t quotient = magnitude / divisor;
  if ((magnitude % divisor) * 2 >= divisor) ++quotient;  // halves away from zero
  if (quotient > 2147483647u) return -1;
  return negative ? -static_cast<int32_t>(quotient) : static_cast<int32_t>(quotient);
}

}  // namespace tolvex::posix
