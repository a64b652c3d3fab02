// "tolvex check": the job as the engine will get it.
#pragma once

#include <ostream>

#include "frontend/job.h"

namespace tolvex::frontend {

// One line per export call, in the order the command makes them, with the
// native form of paths and where each value not written in the job came from.
void PrintResolvedJob(const Job& job, std::ostream& out);

// The value of one setting as the export takes it ("\"C:\\x\\\"", "4", "0x06").
std::string EngineValueText(const Setting& setting);

}  // namespace tolvex::frontend
