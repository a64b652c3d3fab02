// The job a fuzz input built, as text for the report of a violation (and
// for TOLVEX_FUZZ_VERBOSE=1).
#pragma once

#include <string>

#include "model/parameters.h"

namespace tolvex::fuzz {

// Every setting that decides what a run touches, one group a line.
std::string DescribeJob(const TParameters& p);

// True when TOLVEX_FUZZ_VERBOSE is set: the targets then print each job
// and its log, for a look at what one input does.
bool Verbose();

}  // namespace tolvex::fuzz
