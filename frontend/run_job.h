// Running a job: the drive table, the engine library, the exports, the
// callbacks, the exit status and the job's state.
#pragma once

#include <chrono>
#include <string>

#include "frontend/answers.h"
#include "frontend/engine_library.h"
#include "frontend/job.h"

namespace tolvex::frontend {

enum class Verbosity { kQuiet, kNormal, kVerbose };
enum class OutputFormat { kText, kJson };

struct RunOptions {
  AnswerMode mode = AnswerMode::kAsk;
  std::string library;  // empty: the usual places
  bool force = false;   // --force: a plan over the erase limit runs
  Verbosity verbosity = Verbosity::kNormal;  // -q, -v
  OutputFormat format = OutputFormat::kText;  // --format=json
  // How long to wait for another run that holds the destination (--wait).
  std::chrono::seconds wait{0};
};

// Reads, checks and runs the job; returns the exit status.
int RunJob(const std::string& job_path, const RunOptions& options);

// "tolvex plan": reads and checks the job as a run does and prints what a
// run would do now, changing nothing; returns the exit status.
int PlanJob(const std::string& job_path, const RunOptions& options);

// "tolvex check": reads and checks the job and prints it as the engine
// would get it; returns the exit status. `unattended` (--unattended): also
// whether the job would start without a terminal, as a timer or cron
// starts it, answered as `options.mode` says (exit status 7 when not).
int CheckJob(const std::string& job_path, const RunOptions& options, bool unattended);

// The exit status of a run: CallUpdate's result, what the callbacks saw,
// whether the erase guard stopped it, and whether anything selected was
// left out (failed copies, findings: RunSummary::LeftOut).
int ExitStatusOf(int32_t result, const RunOutcome& outcome, bool stopped_by_guard, bool left_out);

// Hands every value of the job to the engine through its exports.
void HandJobToEngine(const Job& job, const EngineLibrary& engine);

}  // namespace tolvex::frontend
