// Running a job: the drive table, the engine library, the exports, the
// callbacks, the exit status and the job's state.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontend/answers.h"
#include "frontend/engine_library.h"
#include "frontend/item_record.h"
#include "frontend/job.h"
#include "frontend/run_summary.h"

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

// The parts of a run that "tolvex restore" runs the same way.

// Loads the job and settles the values of this run (the drive table
// installed); prints the error.
std::optional<Job> PrepareJob(const std::string& job_path);
// Hands the job's drive table to the platform layer (POSIX: TOLVEX_DRIVES),
// the library's and the command's own.
void InstallDriveTable(const Job& job);
// Loads the engine library from the usual places; prints why not.
bool LoadEngine(const RunOptions& options, EngineLibrary* engine);

// What the engine's two channels hand over during CallUpdate calls. The
// channels are plain C functions; they reach the sink through a pointer.
struct ChannelSink {
  std::vector<ItemRecord> plan;
  std::vector<ItemRecord> outcomes;
  // Each outcome as it comes (-v); may be empty.
  std::function<void(const ItemRecord&)> show_outcome;
  // The answer to the end of the plan.
  std::function<int(const ItemRecord&)> answer_end;
};

// One CallUpdate with the command's callbacks and channels. Ctrl-C during
// it asks the engine to stop.
int32_t CallEngine(const EngineLibrary& engine, Answers* answers, ChannelSink* sink);

// The settings every CallUpdate of the command shares: the job, the erase
// limit, and quiet views where the command prints during the run.
void HandOverJob(const Job& job, const EngineLibrary& engine, const RunOptions& options,
                 int32_t dry_run);

// "Run completed." and the other closing lines of a run.
std::string StatusLine(int status, const RunSummary& summary, bool stopped_by_guard = false);
// "1.2 s".
std::string Seconds(std::chrono::steady_clock::duration duration);
// After a run (or plan) that found nothing to do: what was compared.
std::string NothingToUpdate(const RunSummary& summary);

}  // namespace tolvex::frontend
