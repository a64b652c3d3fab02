// The crash test: the tolvex command is killed (SIGKILL, or stopped by
// Ctrl-C pressed twice) at random moments of copy-heavy runs, and at chosen
// calls of its own (testing/kill_shim.c): in the middle of large files, in
// the erase pass, in the generation rotation. After every kill no target is partial
// (each file is as it was or a whole copy of its source), no source file
// changed, no generation is lost; the next run, not killed, completes the
// job, leaves no temporary file behind and says it completed.
//
// The kills go on for a time (TOLVEX_CRASH_SECONDS, 60 and 20 seconds by
// default for the two jobs); scripts/reliability-long.sh gives them longer.
// Each test prints its figures: kills by kind, where they landed, and the
// runs that completed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/reserved_names.h"
#include "testing/child_command.h"

extern char** environ;

namespace tolvex {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Folder contents by relative path: a hash of each file's bytes.
using Contents = std::map<std::string, uint64_t>;

uint64_t HashBytes(uint64_t hash, const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
  return hash;
}

// What tells a file from a partial or other copy of it: its size and the
// bytes of its head, middle and tail (all of a file up to 192 KiB). A copy
// cut short, or renamed before it was complete, differs in one of them.
uint64_t HashOf(const fs::path& file) {
  constexpr size_t kBlock = 64 << 10;
  std::ifstream in(file, std::ios::binary);
  in.seekg(0, std::ios::end);
  const uint64_t size = static_cast<uint64_t>(in.tellg());
  uint64_t hash = HashBytes(1469598103934665603ull, reinterpret_cast<const char*>(&size), sizeof size);
  std::vector<char> buffer(kBlock);
  const uint64_t starts[] = {0, size / 2 > kBlock ? size / 2 : kBlock,
                             size > 2 * kBlock ? size - kBlock : 2 * kBlock};
  for (const uint64_t start : starts) {
    if (start >= size) break;
    in.seekg(static_cast<std::streamoff>(start));
    in.read(buffer.data(), kBlock);
    hash = HashBytes(hash, buffer.data(), static_cast<size_t>(in.gcount()));
    in.clear();
  }
  return hash;
}

// Files below `root` (temporary files apart, into *temporaries).
Contents Scan(const fs::path& root, std::vector<std::string>* temporaries = nullptr) {
  Contents contents;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    // The run lock a killed run leaves: taken over by the next run.
    if (!it->is_regular_file() || it->path().filename() == kRunLockName) continue;
    const std::string relative = fs::relative(it->path(), root).string();
    if (IsTemporaryName(it->path().filename().string())) {
      if (temporaries) temporaries->push_back(relative);
      continue;
    }
    contents[relative] = HashOf(it->path());
  }
  return contents;
}

// Copies a tree with the files' last-write times (a backup's dates are what
// the run compares).
void CopyTree(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    if (!entry.is_regular_file()) continue;
    fs::last_write_time(to / fs::relative(entry.path(), from), entry.last_write_time());
  }
}

std::string Described(const std::map<std::string, std::string>& generations) {
  std::string text;
  for (const auto& [name, version] : generations) text += name + "=" + version + " ";
  return text;
}

int seconds_setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

struct Child {
  pid_t pid = -1;
};

class CrashTest : public ::testing::Test {
 protected:
  CrashTest() {
    std::random_device seed;
    seed_ = seed();
    random_.seed(seed_);
    root_ = fs::temp_directory_path() / ("tolvex-crash-" + std::to_string(seed_));
    fs::create_directories(root_);
  }
  ~CrashTest() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Bytes from this test's own generator.
  std::string Bytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
      const uint64_t word = random_();
      for (size_t k = 0; k < 8 && i + k < size; ++k) bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
  }
  void Put(const fs::path& file, const std::string& content, int days_old) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(24 * days_old));
  }

  void WriteJob(const std::string& lines) const {
    std::ofstream(root_ / "job.job", std::ios::binary)
        << "[Job]\nDestination = " << (root_ / "backup").string() << "\nLogFile = "
        << (root_ / "run.log").string() << "\nLogAppend = 0\n" << lines << "\n[DInclSels]\n"
        << (root_ / "source").string() << "/*\n[FInclSels]\n*.*\n";
  }

  // Starts the command on the job with `environment` added.
  Child Start(const std::vector<std::string>& environment) const {
    std::vector<std::string> words = ChildCommand(TOLVEX_EXE);
    words.push_back("--no");
    words.push_back((root_ / "job.job").string());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e) {
      const std::string variable = *e;
      if (variable.rfind("TOLVEX_SHIM_", 0) != 0 && variable.rfind("LD_PRELOAD=", 0) != 0) {
        variables.push_back(variable);
      }
    }
    variables.push_back(std::string("LD_PRELOAD=") + TOLVEX_KILL_SHIM);
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = (root_ / "out.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
      child.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
  }

  // Waits for the child; its exit status, or -signal when a signal ended it.
  static int Wait(const Child& child) {
    int raw = 0;
    while (waitpid(child.pid, &raw, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
  }

  // A run of the command to its end; its exit status.
  int RunToTheEnd(const std::vector<std::string>& environment = {}) {
    const Child child = Start(environment);
    EXPECT_GT(child.pid, 0);
    return Wait(child);
  }

  std::map<std::string, unsigned long> CountCalls() {
    const std::string file = (root_ / "counts.txt").string();
    EXPECT_EQ(RunToTheEnd({"TOLVEX_SHIM_COUNTS=" + file}), 0) << Output();
    std::map<std::string, unsigned long> counts;
    std::ifstream in(file);
    std::string call;
    unsigned long count = 0;
    while (in >> call >> count) counts[call] = count;
    return counts;
  }

  std::string Output() const {
    std::ifstream in(root_ / "out.txt");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A killed run: at a random moment of a run that takes about `typical`,
  // or at the chosen call. True when the kill came before the run's end.
  bool KilledRun(Clock::duration typical, const std::string& at_call, int signal) {
    if (!at_call.empty()) {
      const int status = RunToTheEnd({"TOLVEX_SHIM_KILL=" + at_call});
      return status == -SIGKILL;
    }
    const Child child = Start({});
    std::uniform_int_distribution<int64_t> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(typical).count());
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random_)));
    kill(child.pid, signal);
    if (signal == SIGINT) {
      // Ctrl-C twice: the command stops the run, and the copy under way
      // with it; it ends by itself with status 1 (or the signal, when it
      // came before the command set its handler).
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random_) / 8));
      kill(child.pid, signal);
      const int status = Wait(child);
      return status == 1 || status == -signal;
    }
    return Wait(child) == -signal;
  }

  // Kills the run while it writes a temporary file in `folder` (the copy of
  // a large file), a few milliseconds in.
  bool KilledInLargeFile(const fs::path& folder) {
    const Child child = Start({});
    const auto give_up = Clock::now() + std::chrono::seconds(10);
    bool seen = false;
    while (!seen && Clock::now() < give_up) {
      std::error_code error;
      for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        seen = seen || IsTemporaryName(it->path().filename().string());
      }
      if (!seen) {
        int raw = 0;
        if (waitpid(child.pid, &raw, WNOHANG) == child.pid) return false;  // it ended first
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random_() % 20000));
    kill(child.pid, SIGKILL);
    return Wait(child) == -SIGKILL;
  }

  fs::path root_;
  unsigned seed_ = 0;
  std::mt19937_64 random_;
};

// Where a kill landed, told from what it left.
std::string Landed(bool killed, const std::vector<std::string>& temporaries, const Contents& now,
                   const Contents& earlier, const Contents& wanted) {
  if (!killed) return "after the run had ended";
  if (!temporaries.empty()) {
    for (const std::string& name : temporaries) {
      if (name.rfind("large", 0) == 0) return "in the copy of a large file";
    }
    return "in the copy of a small file";
  }
  int orphans = 0;
  for (const auto& entry : now) orphans += entry.first.rfind("gone/", 0) == 0 ? 1 : 0;
  if (orphans > 0 && orphans < 40) return "in the erase pass";
  if (now == earlier) return "before anything was written";
  if (now == wanted) return "after the last file";
  return "between two files";
}

// A backup of many small files and a few large ones, with an earlier
// backup to update and orphans to erase, killed again and again.
TEST_F(CrashTest, KilledCopiesAndErasuresLeaveNoPartialTargetAndTheNextRunCompletes) {
  const fs::path source = root_ / "source";
  const fs::path backup = root_ / "backup";
  for (int folder = 0; folder < 4; ++folder) {
    for (int file = 0; file < 15; ++file) {
      Put(source / ("d" + std::to_string(folder)) / ("f" + std::to_string(file) + ".dat"),
          Bytes(512 + random_() % 16384), 1);
    }
  }
  for (int k = 0; k < 3; ++k) Put(source / "large" / ("big" + std::to_string(k) + ".bin"), Bytes(8 << 20), 1);
  // The earlier backup: older copies of some files, and orphans.
  const fs::path before = root_ / "backup-before";
  for (int folder = 0; folder < 4; folder += 2) {
    for (int file = 0; file < 15; file += 3) {
      Put(before / ("d" + std::to_string(folder)) / ("f" + std::to_string(file) + ".dat"),
          Bytes(300), 30);
    }
  }
  Put(before / "large" / "big1.bin", Bytes(1 << 20), 30);
  for (int k = 0; k < 40; ++k) Put(before / "gone" / ("o" + std::to_string(k) + ".dat"), Bytes(200), 30);
  // The erase guard would stop the run (40 of 51 files): these orphans are
  // meant to go.
  WriteJob("OrphanModeD2 = erase\nDeleteDestDirs = yes\nMaxErase = none\n");
  const Contents wanted = Scan(source);
  const Contents earlier = Scan(before);
  const auto reset = [&] { CopyTree(before, backup); };

  // The run without a kill: what it takes and which calls it makes.
  reset();
  const auto started = Clock::now();
  ASSERT_EQ(RunToTheEnd(), 0) << Output();
  const Clock::duration typical = Clock::now() - started;
  ASSERT_EQ(Scan(backup), wanted);
  reset();
  const std::map<std::string, unsigned long> counts = CountCalls();
  ASSERT_GT(counts.at("unlink"), 0u);
  ASSERT_GT(counts.at("renameat"), 0u);
  ASSERT_GT(counts.at("syncfs"), 0u);

  std::map<std::string, int> kills;
  std::map<std::string, int> landed;
  int completing_runs = 0;
  int rows = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds_setting("TOLVEX_CRASH_SECONDS", 60));
  while (Clock::now() < deadline && !HasFailure()) {
    reset();
    ++rows;
    // A few kills in a row: the first lands anywhere in a whole run, the
    // later ones in runs that pick up what the killed ones left.
    const int in_a_row = 1 + static_cast<int>(random_() % 3);
    for (int k = 0; k < in_a_row; ++k) {
      // The first kill of a row in turn at each kind of moment; the others
      // at random moments.
      std::string at_call;
      std::string kind = "random moment";
      int signal = SIGKILL;
      bool in_large_file = false;
      switch (k == 0 ? rows % 6 : 0) {
        case 1:
          signal = SIGINT;
          kind = "Ctrl-C twice at a random moment";
          break;
        case 2:
          at_call = "unlink:" + std::to_string(1 + random_() % counts.at("unlink"));
          kind = "erase pass";
          break;
        case 3:
          at_call = "renameat:" + std::to_string(1 + random_() % counts.at("renameat"));
          kind = "before a copy's rename";
          break;
        case 4:
          // The syncs that make copies durable: a batch's together, a
          // copy's own where a batch's sync reported a failure.
          at_call = "syncfs:" + std::to_string(1 + random_() % counts.at("syncfs")) +
                    (random_() % 2 == 0 ? ":after" : "");
          kind = "around a copy's sync";
          break;
        case 5:
          in_large_file = true;
          kind = "while a large file is copied";
          break;
        default:
          break;
      }
      ++kills[kind];
      const bool killed = in_large_file ? KilledInLargeFile(backup / "large")
                                        : KilledRun(typical, at_call, signal);
      std::vector<std::string> temporaries;
      const Contents now = Scan(backup, &temporaries);
      ++landed[Landed(killed, temporaries, now, earlier, wanted)];
      // No partial target: every file is as it was, or a whole copy.
      for (const auto& [path, hash] : now) {
        const auto source_hash = wanted.find(path);
        const auto earlier_hash = earlier.find(path);
        const bool whole_copy = source_hash != wanted.end() && source_hash->second == hash;
        const bool as_it_was = earlier_hash != earlier.end() && earlier_hash->second == hash;
        EXPECT_TRUE(whole_copy || as_it_was) << path << " is partial (" << kind << ", seed " << seed_ << ")";
      }
      // Files not yet reached are still there: only orphans may be gone.
      for (const auto& [path, hash] : earlier) {
        if (now.count(path) == 0) {
          EXPECT_EQ(path.rfind("gone/", 0), 0u) << path << " vanished (" << kind << ")";
        }
      }
      EXPECT_EQ(Scan(source), wanted) << "a source file changed (" << kind << ")";
    }
    // The next run completes the job and clears what the killed ones left.
    ASSERT_EQ(RunToTheEnd(), 0) << Output();
    ++completing_runs;
    std::vector<std::string> temporaries;
    EXPECT_EQ(Scan(backup, &temporaries), wanted) << "seed " << seed_;
    EXPECT_TRUE(temporaries.empty()) << temporaries.front();
    EXPECT_FALSE(fs::exists(backup / kRunLockName));
    EXPECT_NE(Output().find("Run completed."), std::string::npos) << Output();
  }
  std::cout << "[ crash    ] copies and erasures: ";
  int total = 0;
  for (const auto& [kind, count] : kills) {
    std::cout << count << " " << kind << "; ";
    total += count;
  }
  std::cout << total << " kills. Landed: ";
  for (const auto& [where, count] : landed) std::cout << count << " " << where << "; ";
  std::cout << completing_runs << " completing runs, all complete. Seed " << seed_ << "\n";
  EXPECT_GT(total, 0);
}

// Copies are written as a batch, made durable together and then renamed
// into place: a kill after the whole batch was written and before its first
// rename leaves every target as it was, with the batch's temporary files,
// which the next run removes while it completes the job.
TEST_F(CrashTest, AKillBetweenABatchsWritesAndItsRenamesLeavesNoPartialTarget) {
  const fs::path source = root_ / "source";
  const fs::path backup = root_ / "backup";
  for (int file = 0; file < 30; ++file) {
    Put(source / "d" / ("f" + std::to_string(file) + ".dat"), Bytes(2000 + file), 1);
    // Older copies of every other file, to be replaced.
    if (file % 2 == 0) Put(backup / "d" / ("f" + std::to_string(file) + ".dat"), Bytes(100), 30);
  }
  WriteJob("");
  const Contents wanted = Scan(source);
  const Contents earlier = Scan(backup);
  // A copy's content is synced only once the batch is written: the run's
  // first sync comes after the last copy's data.
  EXPECT_TRUE(KilledRun({}, "syncfs:1", SIGKILL));
  std::vector<std::string> temporaries;
  EXPECT_EQ(Scan(backup, &temporaries), earlier);
  EXPECT_EQ(temporaries.size(), 30u);
  ASSERT_EQ(RunToTheEnd(), 0) << Output();
  temporaries.clear();
  EXPECT_EQ(Scan(backup, &temporaries), wanted);
  EXPECT_TRUE(temporaries.empty()) << temporaries.front();
  EXPECT_EQ(Scan(source), wanted);
}

// Generation folders: kills in the middle of the rotation leave
// Grandfather behind; the next rotation completes it, and no generation is
// lost.
TEST_F(CrashTest, KillsInTheRotationLoseNoGeneration) {
  const fs::path source = root_ / "source";
  const fs::path backup = root_ / "backup";
  const char* generations[] = {"Father", "Son", "Grandson"};  // oldest first
  for (int k = 0; k < 3; ++k) {
    for (int file = 0; file < 10; ++file) {
      Put(backup / generations[k] / ("f" + std::to_string(file) + ".txt"),
          "v" + std::to_string(k + 1) + " of f" + std::to_string(file), 30 - k);
    }
  }
  for (int file = 0; file < 10; ++file) {
    Put(source / ("f" + std::to_string(file) + ".txt"), "v4 of f" + std::to_string(file), 1);
  }
  WriteJob("VaryMode = generations\nPathMode = relative\n");
  const fs::path pristine = root_ / "backup-before";
  CopyTree(backup, pristine);
  // The version a generation folder holds, from its files: "v2", or "v1+v4"
  // for one the killed run was refreshing.
  const auto version_of = [](const fs::path& folder) {
    std::set<std::string> versions;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (IsTemporaryName(entry.path().filename().string())) continue;
      std::ifstream in(entry.path());
      std::string version;
      in >> version;
      versions.insert(version);
    }
    std::string text;
    for (const std::string& version : versions) text += (text.empty() ? "" : "+") + version;
    return text;
  };
  const auto held = [&] {
    std::map<std::string, std::string> by_folder;
    for (const char* name : {"Grandson", "Son", "Father", "Grandfather"}) {
      if (fs::exists(backup / name)) by_folder[name] = version_of(backup / name);
    }
    return by_folder;
  };

  std::map<std::string, int> kills;
  int completing_runs = 0;
  const auto deadline =
      Clock::now() + std::chrono::seconds(seconds_setting("TOLVEX_CRASH_ROTATION_SECONDS", 20));
  while (Clock::now() < deadline && !HasFailure()) {
    CopyTree(pristine, backup);
    // One of the four moves, before or after it, or a later moment.
    const unsigned long move = 1 + random_() % 4;
    const bool after = random_() % 2 == 0;
    // The new Grandson's copies are made durable together, in one batch.
    const std::string at_call = random_() % 5 == 0
                                    ? std::string("syncfs:1") + (after ? ":after" : "")
                                    : "renameat2:" + std::to_string(move) + (after ? ":after" : "");
    ++kills[at_call.rfind("syncfs", 0) == 0 ? "while the new Grandson is filled"
                                             : "in the rotation"];
    ASSERT_EQ(RunToTheEnd({"TOLVEX_SHIM_KILL=" + at_call}), -SIGKILL) << at_call;
    // Every generation is still there, by whatever name; only the oldest
    // (v1) may have been partly refreshed.
    std::multiset<std::string> versions;
    for (const auto& [name, version] : held()) versions.insert(version);
    EXPECT_EQ(versions.count("v2"), 1u) << at_call << ": " << Described(held());
    EXPECT_EQ(versions.count("v3"), 1u) << at_call << ": " << Described(held());
    EXPECT_EQ(versions.count("v1") + versions.count("v1+v4") + versions.count("v4"), 1u)
        << at_call << ": " << Described(held());

    const bool grandfather_left = fs::exists(backup / "Grandfather");
    ASSERT_EQ(RunToTheEnd(), 0) << Output();
    ++completing_runs;
    // One rotation in all: the oldest refreshed, the other two moved on.
    const std::map<std::string, std::string> now = held();
    const std::map<std::string, std::string> once = {
        {"Grandson", "v4"}, {"Son", "v3"}, {"Father", "v2"}};
    // A kill after the last move of the rotation ends a run that rotated:
    // the next run rotates again, as after any run, and refreshes v2; the
    // killed run's half-refreshed v1 becomes Son.
    const bool whole_rotation_was_done = (after && move == 4) || at_call.rfind("syncfs", 0) == 0;
    const auto son = now.find("Son");
    const bool twice = now.size() == 3 && now.count("Grandson") && now.at("Grandson") == "v4" &&
                       now.count("Father") && now.at("Father") == "v3" && son != now.end() &&
                       (son->second == "v1" || son->second == "v1+v4");
    EXPECT_TRUE(now == once || (whole_rotation_was_done && twice))
        << at_call << ": " << Described(now);
    std::ifstream log(root_ / "run.log");
    std::ostringstream text;
    text << log.rdbuf();
    // The Grandfather the killed run left is reported by the next, and only
    // such a one.
    EXPECT_EQ(text.str().find("Rotation blocked") != std::string::npos, grandfather_left)
        << at_call;
  }
  std::cout << "[ crash    ] rotation: ";
  int total = 0;
  for (const auto& [kind, count] : kills) {
    std::cout << count << " " << kind << "; ";
    total += count;
  }
  std::cout << total << " kills, " << completing_runs << " completing runs. Seed " << seed_ << "\n";
}

// A folder listing that fails half way (an I/O error, a network drive gone)
// once passed for a whole one: every file after the cut was missing from
// the source, and the one-way job erased its backup as an orphan.
TEST_F(CrashTest, AListingCutShortErasesNoBackup) {
  for (int file = 0; file < 12; ++file) {
    const std::string name = "f" + std::to_string(file) + ".txt";
    Put(root_ / "source" / "d" / name, "same " + name, 5);
    Put(root_ / "backup" / "d" / name, "same " + name, 5);
  }
  WriteJob("OrphanModeD2 = erase\nMaxErase = none\n");
  const Contents backup = Scan(root_ / "backup");

  RunToTheEnd({"TOLVEX_SHIM_READDIR_EIO=/source/d"});

  EXPECT_EQ(Scan(root_ / "backup"), backup) << Output();
  std::ifstream log(root_ / "run.log");
  std::ostringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("Unreadable folder:"), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find("File erased"), std::string::npos) << text.str();
}

}  // namespace
}  // namespace tolvex
