// The working destination folder of a run: Destination itself or a
// generation folder below it, chosen by VaryMode.
#pragma once

#include <string>
#include <vector>

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
//   any other value leaves DestinationRoot as it was.
// A Destination without its trailing backslash is read as if it had one.
// Creates no folder: a rename that fails is skipped. When `blocked` is not
// null it receives (with their backslash) the folders of mode 4 whose
// rename failed for another reason than a missing folder or a taken name,
// and the "Grandfather" folder when one is left after the rotation (it
// blocks every later rotation).
void MakeDestinationRoot(TParameters& parameters, std::vector<std::string>* blocked = nullptr);

// The DestinationRoot MakeDestinationRoot would set now, without renaming
// anything: for the checks that must come before the rotation.
std::string PlannedDestinationRoot(const TParameters& parameters);

}  // namespace tolvex
