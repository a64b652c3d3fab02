// Running a job: the drive table, the engine library, the exports, the
// callbacks, the exit status and the job's state.
#pragma once

#include <string>

#include "frontend/answers.h"
#include "frontend/engine_library.h"
#include "frontend/job.h"

namespace tolvex::frontend {

struct RunOptions {
  AnswerMode mode = AnswerMode::kAsk;
  std::string library;  // empty: the usual places
};

// Reads, checks and runs the job; returns the exit status.
int RunJob(const std::string& job_path, const RunOptions& options);

// "tolvex check": reads and checks the job and prints it as the engine
// would get it; returns the exit status.
int CheckJob(const std::string& job_path);

// The exit status of a run: CallUpdate's result, what the callbacks saw and
// how many copies failed for good.
int ExitStatusOf(int32_t result, const RunOutcome& outcome, int failed);

// Hands every value of the job to the engine through its exports.
void HandJobToEngine(const Job& job, const EngineLibrary& engine);

}  // namespace tolvex::frontend
