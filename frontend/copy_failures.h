// How the command learns that copies failed.
//
// The engine consults CopyErrorProc only when the job's Warnings has bit
// 0x40 (or after an interruption); otherwise a failed copy shows only as an
// "Error at copying" line in the log. So the command counts the failures
// from whichever it has: the CopyErrorProc calls, or the log lines written
// during this run. Where the job writes no such lines (no log, or
// LogDetails 3), the command sets bit 0x40 itself and answers skip, which
// then has the very effect of no consultation.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/job.h"

namespace tolvex::frontend {

// True when the job's log gets a line for every failed copy.
bool LogRecordsCopyErrors(const Job& job);

// The size of a file (0 when it is missing): where this run's part of an
// appended log begins.
uint64_t FileSizeOf(const std::string& native_path);

// The number of "Error at copying" entries in the log from `offset` on.
int CountCopyErrorLines(const std::string& native_log, uint64_t offset);

}  // namespace tolvex::frontend
