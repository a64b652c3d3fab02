// The tolvex command: reads a job file, hands it to the engine library
// through its exports, answers the engine's questions and reports.
#include <iostream>
#include <string>
#include <vector>

#include "frontend/destination_wait.h"
#include "frontend/exit_status.h"
#include "frontend/help_text.h"
#include "frontend/list_backups.h"
#include "frontend/restore_files.h"
#include "frontend/run_job.h"
#include "frontend/terminal.h"

namespace {

using namespace tolvex::frontend;

int UsageError(const std::string& message) {
  std::cerr << "tolvex: " << message << "\n"
            << "usage: tolvex [--yes | --no] [--force] [-q | -v] [--format=json] [--wait SECONDS]\n"
            << "              [--library PATH] JOB\n"
            << "       tolvex plan [-v] [--format=json] [--library PATH] JOB\n"
            << "       tolvex check [--unattended [--yes | --no]] JOB\n"
            << "       tolvex list [--format=json] JOB [PATH...]\n"
            << "       tolvex restore [--from GENERATION] [--to DIR] [--dry-run] [--yes | --overwrite]\n"
            << "              [-q | -v] [--format=json] [--library PATH] JOB PATH...\n"
            << "       tolvex --help | tolvex --version\n";
  return kExitJobError;
}

enum class Command { kRun, kPlan, kCheck, kList, kRestore };

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  RunOptions options;
  options.mode = StdinIsTerminal() ? AnswerMode::kAsk : AnswerMode::kNoTerminal;
  Command command = Command::kRun;
  bool fixed_answer = false;
  bool verbosity_given = false;
  bool unattended = false;
  std::string job;
  std::vector<std::string> paths;  // list, restore: after JOB
  RestoreOptions restore;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp(std::cout);
      return kExitCompleted;
    } else if (arg == "--help=man") {
      PrintManPage(std::cout);
      return kExitCompleted;
    } else if (arg == "--version") {
      std::cout << "tolvex " << Version() << "\n";
      return kExitCompleted;
    } else if (arg == "--yes" || arg == "--no") {
      if (fixed_answer) return UsageError("--yes and --no exclude each other");
      fixed_answer = true;
      options.mode = arg == "--yes" ? AnswerMode::kYes : AnswerMode::kNo;
    } else if ((arg == "--from" || arg == "--to") && command == Command::kRestore) {
      if (++i == args.size()) return UsageError(arg + " needs a value");
      (arg == "--from" ? restore.from : restore.to) = args[i];
    } else if (arg == "--dry-run" && command == Command::kRestore) {
      restore.dry_run = true;
    } else if (arg == "--overwrite" && command == Command::kRestore) {
      restore.overwrite = true;
    } else if (arg == "--unattended") {
      unattended = true;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "-q" || arg == "--quiet" || arg == "-v" || arg == "--verbose") {
      if (verbosity_given) return UsageError("-q and -v exclude each other");
      verbosity_given = true;
      options.verbosity = arg[1] == 'q' || arg == "--quiet" ? Verbosity::kQuiet : Verbosity::kVerbose;
    } else if (arg == "--format=json" || arg == "--format=text") {
      options.format = arg == "--format=json" ? OutputFormat::kJson : OutputFormat::kText;
    } else if (arg == "--library") {
      if (++i == args.size()) return UsageError("--library needs a path");
      options.library = args[i];
    } else if (arg == "--wait") {
      if (++i == args.size() || !ParseWaitSeconds(args[i], &options.wait)) {
        return UsageError("--wait needs a number of seconds");
      }
    } else if ((arg == "check" || arg == "plan" || arg == "list" || arg == "restore") && i == 0) {
      command = arg == "check"  ? Command::kCheck
                : arg == "plan" ? Command::kPlan
                : arg == "list" ? Command::kList
                                : Command::kRestore;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (job.empty()) {
      job = arg;
    } else if (command == Command::kList || command == Command::kRestore) {
      paths.push_back(arg);
    } else {
      return UsageError("one job at a time");
    }
  }
  if (job.empty()) return UsageError("no job file given");
  if (unattended && command != Command::kCheck) {
    return UsageError("--unattended goes with check: \"tolvex check --unattended JOB\"");
  }
  if (command == Command::kPlan) {
    if (fixed_answer || options.force || options.verbosity == Verbosity::kQuiet) {
      return UsageError("plan asks nothing and changes nothing: it takes only -v, --format and --library");
    }
    return PlanJob(job, options);
  }
  if (command == Command::kCheck) return CheckJob(job, options, unattended);
  if (command == Command::kList) return ListBackups(job, paths, options);
  if (command == Command::kRestore) {
    if (paths.empty()) return UsageError("restore needs the paths to restore");
    if (restore.overwrite && options.mode == AnswerMode::kYes) {
      return UsageError("--yes (keep newer files in place) and --overwrite exclude each other");
    }
    if (options.force || options.mode == AnswerMode::kNo) {
      return UsageError("restore takes --yes or --overwrite for newer files in place, not --no or --force");
    }
    restore.run = options;
    return RestoreFiles(job, paths, restore);
  }
  return RunJob(job, options);
}
