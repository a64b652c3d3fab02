// The files a run writes itself, which no run may take for a user's file:
// its log, its sync state file, and the files its front end keeps beside
// the job (the `tolvex` command's JOB.state and the like). A front end names such a file as a
// file exclusion in drive form ("T:\Backup\job.tvx.state"), a text no
// enumeration pattern can be (a pattern with a separator matches nothing).
// The run lock is in the reserved name space and never listed at all.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "model/parameters.h"

namespace tolvex {

class OwnFiles {
 public:
  // The log file of `parameters` (when the log is on), the sync state file
  // `sync_state_path` (drive form; empty when none) and every file
  // exclusion in drive form.
  OwnFiles(const TParameters& parameters, const std::string& sync_state_path);

  // True when "<folder><name>" (drive form) is one of them, letter case
  // ignored as Windows ignores it.
  bool Holds(const std::string& folder, std::string_view name) const;

 private:
  std::unordered_set<std::string> paths_;  // ASCII upper case
};

}  // namespace tolvex
