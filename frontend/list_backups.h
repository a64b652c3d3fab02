// "tolvex list JOB [PATH...]": the backups a job keeps, and the versions of
// a file or folder of its sources across them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frontend/job.h"
#include "frontend/run_job.h"

namespace tolvex::frontend {

// Lists the job's generation folders (newest first: the time of the run
// that last completed into each, its files and bytes, which is newest), or,
// with `paths`, every version of each path across them. Returns the exit
// status: 0, or 2 for a job or a path the job does not back up.
int ListBackups(const std::string& job_path, const std::vector<std::string>& paths,
                const RunOptions& options);

// A path as the user gives it (native; relative to the current folder, or,
// when no selection holds that, to the job's first folder selection that
// does) in drive form without a closing separator; nothing and `error` when
// no folder selection of the job can hold it. May add an automatic drive to
// the job's table.
std::optional<std::string> SourcePathOf(Job* job, const std::string& given, std::string* error);

}  // namespace tolvex::frontend
