#include "frontend/run_job.h"

#include <cstdlib>
#include <iostream>

#include "frontend/engine_library.h"
#include "frontend/exit_status.h"
#include "frontend/job_report.h"
#include "frontend/job_state.h"
#include "frontend/layout_check.h"
#include "platform/dos_stamp.h"
#include "platform/platform.h"

namespace tolvex::frontend {

namespace {

// The callbacks are plain C functions; during a run they reach the answers
// through this pointer. No exception may cross into the engine.
Answers* active_answers = nullptr;

int TOLVEX_CALLBACK OnNotify(int code, int drive, int number) {
  try {
    return active_answers->Notify(code, drive, number);
  } catch (...) {
    return TOLVEX_NOTIFY_NO;
  }
}

int TOLVEX_CALLBACK OnConfirm(const char* path, const char* counter_path, uint32_t size,
                              uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                              int state) {
  try {
    return active_answers->Confirm(path, counter_path, size, counter_size, stamp, counter_stamp,
                                   state);
  } catch (...) {
    return TOLVEX_CONFIRM_ABORT;
  }
}

int TOLVEX_CALLBACK OnCopyError(const char* path, const char* counter_path, uint32_t size,
                                uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                uint32_t error) {
  try {
    return active_answers->CopyError(path, counter_path, size, counter_size, stamp, counter_stamp,
                                     error);
  } catch (...) {
    return TOLVEX_COPY_SKIP;
  }
}

int TOLVEX_CALLBACK OnMakeDir(const char* folder) {
  try {
    active_answers->MakeDir(folder);
  } catch (...) {
  }
  return 0;
}

// Loads the job and settles the values of this run; prints the error.
std::optional<Job> PrepareJob(const std::string& job_path) {
  auto loaded = LoadJob(job_path);
  if (auto* errors = std::get_if<JobErrors>(&loaded)) {
    for (const JobError& error : *errors) std::cerr << "tolvex: " << error.Format() << "\n";
    return std::nullopt;
  }
  Job job = std::move(std::get<Job>(loaded));
  for (const JobError& warning : job.warnings) {
    std::cerr << "tolvex: " << warning.FormatAsWarning() << "\n";
  }
#if !defined(_WIN32)
  // The POSIX platform layer, the library's and the command's own, reads
  // its drive table from here.
  // A job that names no drive of its own keeps the layer's default table.
  if (job.drives.drives().empty()) {
    unsetenv("TOLVEX_DRIVES");
  } else {
    setenv("TOLVEX_DRIVES", job.drives.EnvironmentValue().c_str(), 1);
  }
  Sys().ReloadDrives();
#endif
  const LocalTime now = Sys().Now();
  ResolveRunValues(&job, now);
  if (const auto error = CheckDestinationScan(job, now)) {
    std::cerr << "tolvex: " << error->Format() << "\n";
    return std::nullopt;
  }
  return job;
}

bool LoadEngine(const RunOptions& options, EngineLibrary* engine) {
  std::string errors;
  for (const std::string& candidate : LibraryCandidates(options.library)) {
    std::string error;
    if (engine->Load(candidate, &error)) return true;
    errors += "\n  " + error;
  }
  std::cerr << "tolvex: the engine library cannot be loaded:" << errors << "\n";
  return false;
}

// Files whose copy failed for good: every failure reaches CopyErrorProc
// (the command always sets Warnings 0x40), and each answer other than retry
// ends that file's turn; a retry that then succeeds leaves no failure.
int FailedCopies(const RunOutcome& outcome) {
  return outcome.copy_error_calls > outcome.retries ? outcome.copy_error_calls - outcome.retries
                                                    : 0;
}

void Report(int status, int failed, const Job& job) {
  switch (status) {
    case kExitAborted: std::cout << "Run aborted.\n"; break;
    case kExitStoppedByCheck: std::cout << "Run ended by a check of the job.\n"; break;
    case kExitRunFailed: std::cout << "Run failed.\n"; break;
    case kExitCopiesFailed:
      std::cout << "Run completed, but " << failed << (failed == 1 ? " copy" : " copies")
                << " failed.\n";
      break;
    default: std::cout << "Run completed.\n";
  }
  if (job.Get("LogActive").number) {
    std::cout << "Log: " << job.drives.ToNative(job.Get("LogFile").text) << "\n";
  }
}

void RecordRun(const Job& job, uint32_t run_start) {
  std::string error;
  if (!WriteState(StatePathOf(job.path), run_start, &error)) {
    std::cerr << "tolvex: warning: " << error << "; the next run cannot know this one\n";
  }
}

}  // namespace

int ExitStatusOf(int32_t result, const RunOutcome& outcome, int failed) {
  // CallUpdate returns 0 for a failed run too; the notification tells them apart.
  if (outcome.run_failed) return kExitRunFailed;
  if (result == 0 || outcome.space_refused) return kExitAborted;
  if (outcome.ended_by_check) return kExitStoppedByCheck;
  return failed > 0 ? kExitCopiesFailed : kExitCompleted;
}

void HandJobToEngine(const Job& job, const EngineLibrary& engine) {
  for (int list = 0; list < kListCount; ++list) {
    const std::string name = kListNames[list];
    engine.Clear("Clear" + name)();
    const auto add = engine.Text("Set" + name.substr(0, name.size() - 1));
    for (const std::string& entry : job.lists[list]) add(entry.c_str());
  }
  for (const Setting& setting : job.settings) {
    const std::string name = std::string("Set") + setting.rule->key;
    switch (setting.rule->setter) {
      case SetterKind::kText: engine.Text(name)(setting.text.c_str()); break;
      case SetterKind::kInt: engine.Int(name)(static_cast<int32_t>(setting.number)); break;
      case SetterKind::kUnsigned: engine.Unsigned(name)(setting.number); break;
    }
  }
}

int CheckJob(const std::string& job_path) {
  const auto job = PrepareJob(job_path);
  if (!job) return kExitJobError;
  PrintResolvedJob(*job, std::cout);
  return kExitCompleted;
}

int RunJob(const std::string& job_path, const RunOptions& options) {
  const auto job = PrepareJob(job_path);
  if (!job) return kExitJobError;
  EngineLibrary engine;
  if (!LoadEngine(options, &engine)) return kExitNoEngine;
#if !defined(_WIN32)
  if (options.mode != AnswerMode::kAsk && job->Get("ConfirmMode").number == TOLVEX_CONFIRM_MODE_OVERVIEW) {
    std::cout << "Note: ConfirmMode 2 shows the overview on the terminal (--yes and --no do "
                 "not answer it); without one the run is cancelled.\n";
  }
#endif
  const uint32_t run_start = PackStamp(Sys().Now());
  HandJobToEngine(*job, engine);
  TerminalKeys keys;
  Answers answers(options.mode, job->drives, job->silent_copy_errors, std::cout, &keys);
  active_answers = &answers;
  const int32_t result = engine.Update()(OnNotify, OnConfirm, OnCopyError, OnMakeDir);
  active_answers = nullptr;
  const int failed = FailedCopies(answers.outcome());
  const int status = ExitStatusOf(result, answers.outcome(), failed);
  Report(status, failed, *job);
  // Only a run that did all it planned becomes the next run's LastUpdate. A
  // file whose copy failed must stay newer than LastUpdate: both ways, a
  // file on one side only that is older counts as deleted on the other and
  // is erased.
  if (status == kExitCompleted) RecordRun(*job, run_start);
  return status;
}

}  // namespace tolvex::frontend
