// The working destination folder of a run: Destination itself or a
// generation folder below it, chosen by VaryMode.
#pragma once

#include <string>

#include "model/parameters.h"
#include "platform/folder_layout.h"  // the rotation's folder names

namespace tolvex {

// Sets parameters.DestinationRoot from VaryMode, Destination, Weekday and
// today's local date (Sys().Now()):
//   0  Destination
//   1  Destination + "A" + month, day, two-digit year + "\"   (D:\BACKUP\A031499\)
//   2  Destination + Weekday + "\"
//   3  Destination + "Odd\" or "Even\" by the day of the month
//   4  rotates Grandson -> Son -> Father -> Grandson (renames only, each
//      followed by a pump step), then Destination + "Grandson\"
//   any other value empties DestinationRoot (no folder, so the scan visits
//   nothing: the previous run's folder belongs to the previous job).
// A Destination without its trailing backslash is read as if it had one.
// Creates no folder and reports no error: a rename that fails (source
// missing, target present) is skipped.
void MakeDestinationRoot(TParameters& parameters);

// The DestinationRoot MakeDestinationRoot would set now, without renaming
// anything: for the checks that must come before the rotation.
std::string PlannedDestinationRoot(const TParameters& parameters);

}  // namespace tolvex
