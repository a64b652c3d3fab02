// The fixture of the tolvex command's end-to-end tests: the built binary
// (not its functions) runs job files on real temporary trees, with the
// engine library it loads. Standard input is never a terminal here, so the
// fixed answers apply.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/child_command.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace tolvex::command_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string TolvexPath() {
  std::string path = TOLVEX_EXE;
#if defined(_WIN32)
  // Built on Linux, run under Wine: the Linux folders are drive Z:.
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
#endif
  return path;
}

inline std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Local time `age` ago as a job file writes dates.
inline std::string DateAgo(std::chrono::hours age) {
  const std::time_t then =
      std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() - age);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&then));
  return text;
}

inline int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class TolvexCommand : public ::testing::Test {
 protected:
  TolvexCommand() {
    std::random_device random;
    root_ = fs::temp_directory_path() / ("tolvex-e2e-" + std::to_string(random()));
    fs::create_directories(root_ / "source");
  }
  ~TolvexCommand() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  // The ending of a folder selection that takes in everything below it.
  static std::string Star() { return fs::path::preferred_separator == '/' ? "/*" : "\\*"; }
  std::string P(const std::string& relative) const { return (root_ / relative).make_preferred().string(); }

  // Writes a file dated `age` before the test began, on a whole second: files
  // of one age are then of one time however slowly the machine writes them
  // (the engine tells times within a second apart).
  void Put(const std::string& relative, const std::string& content,
           std::chrono::hours age = 48h) const {
    const fs::path file = root_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    fs::last_write_time(file, start_ - age);
  }
  std::string Get(const std::string& relative) const { return ReadText(root_ / relative); }
  bool Exists(const std::string& relative) const { return fs::exists(root_ / relative); }
  std::string Log() const { return Get("run.log"); }

  // A job over source/ into backup/ with a log; `job_lines` go into [Job].
  void WriteJob(const std::string& job_lines, const std::string& sections = "") const {
    std::ofstream(root_ / "job.job", std::ios::binary)
        << "[Job]\nDestination = " << P("backup") << "\nLogFile = " << P("run.log")
        << "\nLogAppend = 0\n"
        << (job_lines.find("LogDetails") == std::string::npos ? "LogDetails = 1\n"
                                                              : "; LogDetails as given below\n")
        << job_lines << "\n[DInclSels]\n" << P("source") << Star() << "\n"
        << (sections.find("[FInclSels]") == std::string::npos ? "[FInclSels]\n*.*\n" : "")
        << sections;
  }

  // Runs the command with `arguments`; on POSIX `environment` goes before
  // it ("HOME=/x ", "env -u HOME ").
  Result Run(const std::string& arguments, const std::string& environment = "") const {
    const fs::path out = root_ / "out.txt", err = root_ / "err.txt";
#if defined(_WIN32)
    (void)environment;
    const std::string command = "\"\"" + TolvexPath() + "\" " + arguments + " > \"" + out.string() +
                                "\" 2> \"" + err.string() + "\" < NUL\"";
#else
    const std::string command = environment + tolvex::ChildShellCommand(TolvexPath()) + " " +
                                arguments + " > '" + out.string() + "' 2> '" + err.string() +
                                "' < /dev/null";
#endif
    Result result;
    int raw = std::system(command.c_str());
#if defined(_WIN32)
    // Under a loaded Wine, starting cmd.exe now and then fails outright (-1,
    // nothing run): that is the harness, not the command, so it starts again.
    for (int attempt = 1; raw == -1 && attempt < 4; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
      raw = std::system(command.c_str());
    }
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
  }
  Result RunJob(const std::string& options = "", const std::string& environment = "") const {
    return Run(options + " \"" + P("job.job") + "\"", environment);
  }

  fs::path root_;
  const fs::file_time_type start_ =
      std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now());
};

#define EXPECT_STATUS(result, expected) \
  EXPECT_EQ((result).status, expected) << "out:\n" << (result).out << "err:\n" << (result).err
}  // namespace tolvex::command_test
