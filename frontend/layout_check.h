// The command's check of where a job's destination scan reads, made before
// the engine is loaded: the same rule the engine applies before its run.
#pragma once

#include <optional>

#include "frontend/job.h"
#include "platform/platform.h"

namespace tolvex::frontend {

// An error when a folder the run would read as the destination's (the
// destination twin of an include, or in PathMode 0 the destination folder
// itself) is or holds a source selection's folder: its files would be taken
// for the destination's, and erased as orphans or overwritten. `now` names
// the generation folder of this run. The job's run values (Weekday) must be
// resolved.
std::optional<JobError> CheckDestinationScan(const Job& job, const LocalTime& now);

}  // namespace tolvex::frontend
