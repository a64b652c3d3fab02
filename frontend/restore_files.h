// "tolvex restore JOB [--from GENERATION] [--to DIR] PATH...": files and
// folders of the sources back from a generation folder of the job.
//
// Each PATH is one run of the engine, a one-way job made from the job's own
// values: the PATH's folder in the generation (or, for a file, the folder
// it lies in with its name as the only file pattern) is the source, the
// place it came from (or DIR) the destination; folders are made as needed,
// nothing is erased (orphans are ignored, no folder is removed). A file in
// place that is newer than the backup's copy is left as it is unless the
// person says to replace it (on the terminal, or --overwrite; --yes keeps
// it); without a terminal and without an answer the restore does not start.
// Every file in place that a restore replaces is first renamed beside it to
// NAME.tolvex-replaced (NAME.tolvex-replaced.2, ... when that is taken), and
// renamed back when its restore did not happen.
#pragma once

#include <string>
#include <vector>

#include "frontend/run_job.h"

namespace tolvex::frontend {

struct RestoreOptions {
  RunOptions run;         // --yes (keep newer files in place), -q, -v, --format, --library
  std::string from;       // --from: a folder name as "tolvex list" shows it, or YYYY-MM-DD
  std::string to;         // --to: the folder to restore into instead of where they were
  bool dry_run = false;   // --dry-run: print the plan, change nothing
  bool overwrite = false; // --overwrite: replace newer files in place too
};

// The exit status as for a run; 2 for a path no generation holds.
int RestoreFiles(const std::string& job_path, const std::vector<std::string>& paths,
                 const RestoreOptions& options);

// "NAME.tolvex-replaced": the name a replaced file keeps beside its place.
inline constexpr const char kReplacedSuffix[] = ".tolvex-replaced";

}  // namespace tolvex::frontend
