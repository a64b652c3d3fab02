// The tree scan against rsync's dry run on the same trees.
//
// Builds, in a native temporary folder, a source tree and two destination
// trees of the same shape (by default 100 000 files in 5 000 folders): one up
// to date, one with 10 % of the files changed and 10 % orphans (5 % only in
// the source, 5 % only in the destination). For each destination it runs the
// scan (path mode 1, touch mode 0, source orphans copied, destination orphans
// listed) with a warm cache, and `rsync -a --dry-run` over the same folders,
// and prints time, throughput and peak memory of both.
//
// Each scan runs in a child process of its own so that its peak memory
// (getrusage's maxrss) is its own. Usage: see Usage() or
// scripts/bench-scan.sh.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "platform/platform.h"
#include "scan/tree_scan.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  int files = 100000;
  int folders = 5000;
  int repeat = 3;
  std::string dir;  // parent of the temporary folder; default $TMPDIR or /tmp
  bool keep = false;
};

constexpr int kFoldersPerGroup = 100;
constexpr time_t kBaseTime = 1577880000;  // 2020-01-01 12:00:00 UTC, an even second

void Usage() {
  std::fprintf(stderr,
               "usage: scan_bench [--files N] [--folders M] [--repeat R] [--dir PARENT] [--keep]\n"
               "  builds the trees below PARENT (default $TMPDIR or /tmp), runs the scan and\n"
               "  rsync -a --dry-run R times each with a warm cache and reports the best run.\n");
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "scan_bench: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// --- Trees ---------------------------------------------------------------------

// What a file of the destination tree is, relative to the source file.
enum class Kind { kSame, kChanged, kSourceOnly, kDestinationOnly };

Kind KindOf(int index) {
  if (index % 10 == 1) return Kind::kChanged;
  if (index % 20 == 2) return Kind::kSourceOnly;
  if (index % 20 == 3) return Kind::kDestinationOnly;
  return Kind::kSame;
}

void WriteFile(const std::string& path, size_t size, time_t mtime) {
  static const std::string filler(4096, 'x');
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Die("cannot create " + path);
  if (size > 0 && ::write(fd, filler.data(), std::min(size, filler.size())) < 0) {
    Die("cannot write " + path);
  }
  const timespec times[2] = {{mtime, 0}, {mtime, 0}};
  if (::futimens(fd, times) != 0) Die("cannot set the time of " + path);
  ::close(fd);
}

std::string FolderOf(const std::string& tree, int folder) {
  char name[64];
  std::snprintf(name, sizeof name, "/Data/g%03d/d%05d/", folder / kFoldersPerGroup, folder);
  return tree + name;
}

struct TreeCounts {
  int source_files = 0;
  int same_files = 0;
  int changed_files = 0;
  int expected_changed_candidates = 0;
};

// The source tree and its two destinations: "same" and "changed".
TreeCounts BuildTrees(const std::string& base, const Options& options) {
  TreeCounts counts;
  const int per_folder = std::max(1, options.files / options.folders);
  for (int folder = 0; folder < options.folders; ++folder) {
    const std::string src = FolderOf(base + "/src", folder);
    const std::string same = FolderOf(base + "/same", folder);
    const std::string changed = FolderOf(base + "/changed", folder);
    for (const std::string& path : {src, same, changed}) fs::create_directories(path);
    for (int k = 0; k < per_folder; ++k) {
      const int index = folder * per_folder + k;
      const std::string name = "file" + std::to_string(index) + ".txt";
      const size_t size = 64 + static_cast<size_t>(index % 512);
      const time_t mtime = kBaseTime + 2 * (index % 1000);
      WriteFile(src + name, size, mtime);
      WriteFile(same + name, size, mtime);
      ++counts.source_files;
      ++counts.same_files;
      switch (KindOf(index)) {
        case Kind::kSame:
          WriteFile(changed + name, size, mtime);
          ++counts.changed_files;
          break;
        case Kind::kChanged:  // an older, shorter copy in the destination
          WriteFile(changed + name, size / 2, mtime - 86400);
          ++counts.changed_files;
          ++counts.expected_changed_candidates;
          break;
        case Kind::kSourceOnly:
          ++counts.expected_changed_candidates;
          break;
        case Kind::kDestinationOnly:  // the same file, plus one deleted from the source
          WriteFile(changed + name, size, mtime);
          WriteFile(changed + "gone" + std::to_string(index) + ".dat", size, mtime);
          counts.changed_files += 2;
          ++counts.expected_changed_candidates;
          break;
      }
    }
  }
  return counts;
}

// --- The scan, in a child process ----------------------------------------------------

// Runs in the child: maps S: to the source and T: to the destination and
// runs one scan, as one update run does in a fresh process (the file system's
// cache is warm from the runs before). Prints key=value lines.
int RunScanChild(const std::string& base, const std::string& destination) {
  using namespace tolvex;
  const std::string drives = "S=" + base + "/src;T=" + base + "/" + destination;
  ::setenv("TOLVEX_DRIVES", drives.c_str(), 1);
  Sys().ReloadDrives();
  Parameters = TParameters();
  Plan plan;
  Parameters.DInclSels = {STRING("S:\\Data\\*")};
  Parameters.FInclSels = {STRING("*.*")};
  Parameters.PathMode = 1;
  Parameters.TouchMode = 0;
  Parameters.OrphanModeD1 = 0;
  Parameters.OrphanModeD2 = 1;
  plan.DestinationRoot = "T:\\";
  plan.SourceDrive = 'S';
  Parameters.LastUpdate = 0xFFFFFFFF;

  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  const Clock::time_point start = Clock::now();
  ScanTrees(Parameters, plan, nullptr);
  const double wall = Seconds(Clock::now() - start);
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  std::printf("wall=%.6f\ncpu=%.6f\ncandidates=%zu\nfolders=%zu\nbaseline_kb=%ld\nmaxrss_kb=%ld\n",
              wall, CpuSeconds(after) - CpuSeconds(before), plan.candidates.size(),
              plan.dirList.size(), before.ru_maxrss, after.ru_maxrss);
  return 0;
}

// --- Child processes -----------------------------------------------------------------

struct ChildResult {
  std::string output;
  double wall = 0;
  rusage usage{};
  int status = 0;
};

ChildResult RunChild(const std::vector<std::string>& args, bool capture) {
  int pipe_fds[2];
  if (capture && ::pipe(pipe_fds) != 0) Die("pipe");
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) Die("fork");
  if (pid == 0) {
    const int out = capture ? pipe_fds[1] : ::open("/dev/null", O_WRONLY);
    ::dup2(out, STDOUT_FILENO);
    if (capture) ::close(pipe_fds[0]);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::_Exit(127);
  }
  ChildResult result;
  if (capture) {
    ::close(pipe_fds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, got);
    ::close(pipe_fds[0]);
  }
  if (::wait4(pid, &result.status, 0, &result.usage) < 0) Die("wait4");
  result.wall = Seconds(Clock::now() - start);
  if (!WIFEXITED(result.status) || WEXITSTATUS(result.status) != 0) {
    std::fprintf(stderr, "scan_bench: %s failed (status %d)\n", args[0].c_str(), result.status);
    std::exit(1);
  }
  return result;
}

std::map<std::string, std::string> KeyValues(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

struct Measure {
  double wall = 1e30;
  double cpu = 0;
  long maxrss_kb = 0;
  long grown_kb = 0;  // the scan's growth of the resident set
  size_t candidates = 0;

  // Keeps the faster run.
  void Take(const Measure& run) {
    if (run.wall < wall) *this = run;
  }
};

Measure ScanOnce(const std::string& self, const std::string& base, const char* destination) {
  const ChildResult child = RunChild({self, "--scan-child", base, destination}, true);
  std::map<std::string, std::string> values = KeyValues(child.output);
  Measure run;
  run.wall = std::stod(values["wall"]);
  run.cpu = std::stod(values["cpu"]);
  run.maxrss_kb = std::stol(values["maxrss_kb"]);
  run.grown_kb = run.maxrss_kb - std::stol(values["baseline_kb"]);
  run.candidates = std::stoul(values["candidates"]);
  return run;
}

Measure RsyncOnce(const std::vector<std::string>& args) {
  const ChildResult child = RunChild(args, false);
  Measure run;
  run.wall = child.wall;
  run.cpu = CpuSeconds(child.usage);
  run.maxrss_kb = child.usage.ru_maxrss;
  return run;
}

// --- Report ---------------------------------------------------------------------------

void PrintRow(const char* scenario, const char* tool, const Measure& m, const std::string& extra) {
  std::printf("%-10s %-28s %9.1f %9.1f %10ld  %s\n", scenario, tool, m.wall * 1000, m.cpu * 1000,
              m.maxrss_kb, extra.c_str());
}

std::string Format(const char* format, double a, double b = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string Ratio(const Measure& scan, const Measure& rsync) {
  return Format("scan/rsync: wall %.2f, cpu %.2f", scan.wall / rsync.wall, scan.cpu / rsync.cpu);
}

// Runs the scan and both dry runs of rsync in turns, one warm-up round and
// `repeat` measured rounds, and prints the best of each. Returns false when
// the scan found other than the expected candidates.
bool RunScenario(const std::string& self, const std::string& base, const char* destination,
                 int files_examined, size_t expected_candidates, const Options& options) {
  const std::string from = base + "/src/Data/";
  const std::string to = base + "/" + destination + "/Data/";
  const std::vector<std::string> rsync_args = {"rsync", "-a", "--dry-run", from, to};
  const std::vector<std::string> delete_args = {"rsync", "-a", "--delete", "--dry-run", from, to};
  Measure scan;
  Measure rsync;
  Measure rsync_delete;
  size_t found = 0;
  for (int round = 0; round <= options.repeat; ++round) {
    const Measure scan_run = ScanOnce(self, base, destination);
    const Measure rsync_run = RsyncOnce(rsync_args);
    const Measure delete_run = RsyncOnce(delete_args);
    found = scan_run.candidates;
    if (round == 0) continue;  // warms the file system's cache
    scan.Take(scan_run);
    rsync.Take(rsync_run);
    rsync_delete.Take(delete_run);
  }
  std::string extra = Format("%.0f files/s", files_examined / scan.wall);
  extra += Format(", %.0f candidates/s", static_cast<double>(found) / scan.wall);
  extra += ", " + std::to_string(found) + " candidates";
  if (found > 0) extra += Format(", %.0f B/candidate", scan.grown_kb * 1024.0 / static_cast<double>(found));
  extra += Format(", %.0f B/file", scan.grown_kb * 1024.0 / files_examined);
  PrintRow(destination, "tolvex scan", scan, extra);
  PrintRow(destination, "rsync -a --dry-run", rsync, Ratio(scan, rsync));
  PrintRow(destination, "rsync -a --delete --dry-run", rsync_delete, Ratio(scan, rsync_delete));
  if (found != expected_candidates) {
    std::printf("  WRONG: expected %zu candidates, the scan found %zu\n", expected_candidates, found);
    return false;
  }
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--files" && has_value) {
      options->files = std::atoi(argv[++i]);
    } else if (arg == "--folders" && has_value) {
      options->folders = std::atoi(argv[++i]);
    } else if (arg == "--repeat" && has_value) {
      options->repeat = std::atoi(argv[++i]);
    } else if (arg == "--dir" && has_value) {
      options->dir = argv[++i];
    } else if (arg == "--keep") {
      options->keep = true;
    } else {
      return false;
    }
  }
  return options->files > 0 && options->folders > 0 && options->repeat > 0;
}

std::string MakeBase(const Options& options) {
  std::string parent = options.dir;
  if (parent.empty()) parent = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
  std::string pattern = parent + "/tolvex-scan-bench.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Die("cannot create a folder in " + parent);
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--scan-child") return RunScanChild(argv[2], argv[3]);
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Usage();
    return 2;
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string base = MakeBase(options);
  const Clock::time_point start = Clock::now();
  const TreeCounts counts = BuildTrees(base, options);
  std::printf("trees in %s: %d files in %d folders per tree, built in %.1f s\n", base.c_str(),
              counts.source_files, options.folders, Seconds(Clock::now() - start));
  std::printf("best of %d warm runs each, taken in turns; one scan per process, as in a run;\n"
              "memory is the peak resident set (maxrss) of the process\n\n",
              options.repeat);
  std::printf("%-10s %-28s %9s %9s %10s\n", "tree", "tool", "wall ms", "cpu ms", "maxrss KB");
  const bool same_ok = RunScenario(self, base, "same", counts.source_files + counts.same_files, 0,
                                   options);
  const bool changed_ok =
      RunScenario(self, base, "changed", counts.source_files + counts.changed_files,
                  static_cast<size_t>(counts.expected_changed_candidates), options);
  if (!options.keep) fs::remove_all(base);
  return same_ok && changed_ok ? 0 : 1;
}
