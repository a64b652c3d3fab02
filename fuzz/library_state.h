// The library's program-wide state as the fuzz targets handle it: a freshly
// loaded library for every input, and the job an input built, as text for
// the report of a violation (and for TOLVEX_FUZZ_VERBOSE=1).
#pragma once

#include <string>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex::fuzz {

// Empties the parameter set and the extension's settings, as a freshly
// loaded library has them (the lists and run flags are each run's own): each input starts from
// there, so that it does the same when it runs again alone.
void FreshLibrary();

// Every setting that decides what a run touches, one group a line.
std::string DescribeJob(const TParameters& p);
// The same, and the roots the run worked out in `plan`.
std::string DescribeJob(const TParameters& p, const Plan& plan);

// True when TOLVEX_FUZZ_VERBOSE is set: the targets then print each job
// and its log, for a look at what one input does.
bool Verbose();

}  // namespace tolvex::fuzz
