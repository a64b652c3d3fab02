// The job-file reader on any text: every section, key, name and number,
// very long lines, stray bytes.
//
// The reader looks at the file system only to see whether folders exist
// (drive folders, the log's folder, the file system a path lies on); HOME
// and the job's own folder (${JOBDIR}) point into a sandbox holding a few
// folders, so that both the found and the missing cases are reached.
//
// A job the reader accepts must be one the engine can take as it is: every
// path in drive form with one backslash between names, folders ending in a
// backslash, the star only at the end of a selection, no name a folder
// cannot have, and a drive table that the platform layer reads back to the
// same folders. A refused job reports its faults in file order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "frontend/job.h"
#include "fuzz/sandbox.h"
#include "platform/posix/drive_table.h"

namespace tolvex::fuzz {
namespace {

using frontend::Job;
using frontend::JobError;
using frontend::JobErrors;

struct JobSandbox {
  JobSandbox() : sandbox("") {
    jobs = sandbox.Folder("jobs");
    for (const char* folder : {"source", "source/cache", "backup", "logs", "trail "}) {
      sandbox.MakeDirs(jobs + "/" + folder);
    }
    sandbox.MakeDirs(sandbox.Folder("home") + "/data");
  }
  Sandbox sandbox;
  std::string jobs;
};

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }

// A name a folder can have: not empty, not "." or "..", none of the
// characters a Windows name cannot hold.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) {
      return false;
    }
  }
  return true;
}

// "X:\name\name" with plain names; `folder`: ending in a backslash.
bool IsCleanDrivePath(const std::string& path, bool folder) {
  if (path.size() < 3 || !IsLetter(path[0]) || path[1] != ':' || path[2] != '\\') return false;
  if (folder != (path.back() == '\\')) return false;
  const std::string names = path.substr(3, folder ? path.size() - 4 : std::string::npos);
  if (names.empty()) return folder;
  size_t start = 0;
  for (;;) {
    const size_t end = names.find('\\', start);
    if (!IsPlainName(names.substr(start, end - start))) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool IsCleanSelection(const std::string& entry) {
  const bool star = !entry.empty() && entry.back() == '*';
  return IsCleanDrivePath(star ? entry.substr(0, entry.size() - 1) : entry, true);
}

void CheckAcceptedJob(const Job& job) {
  const std::string destination = job.Get("Destination").text;
  if (!IsCleanDrivePath(destination, true)) {
    Violation("accepted Destination \"" + destination + "\" is not a clean folder path");
  }
  const std::string log_file = job.Get("LogFile").text;
  if (!log_file.empty() && !IsCleanDrivePath(log_file, false)) {
    Violation("accepted LogFile \"" + log_file + "\" is not a clean file path");
  }
  for (int list : {frontend::kDIncl, frontend::kDExcl}) {
    for (const std::string& entry : job.lists[list]) {
      if (!IsCleanSelection(entry)) {
        Violation(std::string("accepted [") + frontend::kListNames[list] + "] entry \"" + entry +
                  "\" is not a clean folder selection");
      }
    }
  }
  // The engine's platform layer reads the table the command hands over.
  const posix::DriveTable table = posix::DriveTable::Parse(job.drives.EnvironmentValue());
  for (const frontend::Drive& drive : job.drives.drives()) {
    const std::string* root = table.Root(drive.letter);
    if (!IsLetter(drive.letter) || root == nullptr || *root != drive.folder) {
      Violation(std::string("drive ") + drive.letter + ": \"" + drive.folder +
                "\" does not reach the platform layer as it is (it reads \"" +
                (root ? *root : std::string("nothing")) + "\")");
    }
  }
}

void CheckRefusal(const JobErrors& errors, const std::string& path) {
  if (errors.empty()) Violation("a refused job without a fault");
  int previous = 0;
  for (const JobError& error : errors) {
    if (error.file != path || error.message.empty()) Violation("a fault without file or message");
    const int line = error.line == 0 ? INT32_MAX : error.line;
    if (line < previous) Violation("faults out of file order: " + error.Format());
    previous = line;
  }
}

}  // namespace
}  // namespace tolvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvex::fuzz;
  static const JobSandbox sandbox;
  const std::string path = sandbox.jobs + "/fuzz.job";
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto result = tolvex::frontend::ParseJob(path, text);
  if (const auto* job = std::get_if<tolvex::frontend::Job>(&result)) {
    CheckAcceptedJob(*job);
  } else {
    CheckRefusal(std::get<tolvex::frontend::JobErrors>(result), path);
  }
  return 0;
}
