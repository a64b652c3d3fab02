// What the command remembers of a job between runs, and the values it
// settles when a run starts.
//
// The state file "JOB.state" beside the job records the start of the last
// run that completed with nothing failed (exit status 0). The next run hands
// it to the engine as LastUpdate, so only pairs whose target changed since
// then carry the changed-since-last-update marker, and both ways a file on
// one side only that is newer (less a margin) is new work, not a deletion. A LastUpdate key in the job wins over the state file (the state
// file is still updated, so removing the key picks up from the last run).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "frontend/job.h"
#include "platform/platform.h"

namespace tolvex::frontend {

std::string StatePathOf(const std::string& job_path);
// The sync state file beside JOB.state ("JOB.sync", absolute): the engine
// keeps there, per working folder, what both sides held after the last
// two-way run that completed with nothing failed.
std::string SyncStatePathOf(const std::string& job_path);

// The LastUpdate recorded in a state file: nothing when there is no file;
// nothing and a warning when it cannot be understood.
std::optional<uint32_t> ReadStateLastUpdate(const std::string& state_path, std::string* warning);
// Records `run_start` (a packed stamp, local time) as the job's LastUpdate,
// in UTC ("2026-12-10 14:00:00 UTC"), so that a run in another time zone
// compares it with its own clock; ReadStateLastUpdate turns it back into
// the local time of its run (a value without " UTC" is local time). The file is
// written under a temporary name and renamed, so it is never left half
// written. The file's [Generations] section is kept as it was.
bool WriteState(const std::string& state_path, uint32_t run_start, std::string* error);

// The time a run last completed into each generation folder of the job
// (VaryMode dated, weekday, odd-even, generations; "" for Destination
// itself), by folder name ("Grandson", "A121026", "Monday", "Odd"): packed
// stamps, local time. Kept in the state file's [Generations] section, in UTC
// like LastUpdate. A run records the start of its own run there for the
// folder it completed into (exit status 0 or 4), and carries the times along
// the rotation's renames ("tolvex list" shows them).
using GenerationTimes = std::map<std::string, uint32_t>;
GenerationTimes ReadGenerationTimes(const std::string& state_path);
// Replaces the [Generations] section; LastUpdate is kept as it was.
bool WriteGenerationTimes(const std::string& state_path, const GenerationTimes& times,
                          std::string* error);

// The midnight rule: a run that starts before 01:00 while the last update
// fell on the previous day still has that day to include.
bool IsShortlyAfterMidnight(const LocalTime& now, uint32_t last_update);

// "Sunday" ... "Saturday" for 0 ... 6.
std::string WeekdayName(int weekday);

// Settles the values a job leaves to the run, as of `now`: LastUpdate from
// the state file, Midnight by the midnight rule, Weekday as today's name,
// and Warnings bit 0x40 where the log cannot show failed copies.
void ResolveRunValues(Job* job, const LocalTime& now);

}  // namespace tolvex::frontend
