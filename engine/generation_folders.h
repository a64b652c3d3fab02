// The working destination folder of a run: Destination itself or a
// generation folder below it, chosen by VaryMode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "platform/folder_layout.h"  // the rotation's folder names

namespace tolvex {

// One rename of the generation rotation, with its result (0 done, else the
// Windows error code: 2 or 3 its folder is missing, 183 the target exists).
struct RotationStep {
  std::string from;
  std::string to;
  uint32_t error = 0;
};

// The rotation of VaryMode 4: its four renames in order, and the
// "Grandfather" folder found before the first one (left over from an
// earlier run that stopped in the middle; empty when there was none). Such a
// folder blocks renames, so that the run updates another Grandson than a
// complete rotation would.
struct Rotation {
  std::vector<RotationStep> steps;
  std::string leftover;
};

// Sets plan.DestinationRoot from VaryMode, Destination, Weekday and
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
// missing, target present) is skipped. Returns the rotation (no steps in the
// other modes).
Rotation MakeDestinationRoot(const TParameters& parameters, Plan& plan);

// The renames of VaryMode 4 alone, below `destination` (Destination, its
// trailing backslash optional), each followed by a pump step.
Rotation RotateGenerationFolders(const std::string& destination);

// Renames back, last first, what the renames of `rotation` did: the
// generation folders are then named as before it. Returns the renames made
// back, with their results.
std::vector<RotationStep> UndoRotation(const Rotation& rotation);

// What MakeDestinationRoot would do, with nothing renamed: each rename judged
// on the folders as they are and as the renames before it would leave them.
// DestinationRoot is set as MakeDestinationRoot sets it; *scanned_root gets
// the folder that holds now what the run's DestinationRoot would hold (in
// mode 4 the folder that would become Grandson, "Father\" in the steady
// state; else DestinationRoot itself), so that a plan can read it.
Rotation JudgeDestinationRoot(const TParameters& parameters, Plan& plan, std::string* scanned_root);

// The DestinationRoot MakeDestinationRoot would set now, without renaming
// anything: for the checks that must come before the rotation.
std::string PlannedDestinationRoot(const TParameters& parameters);

}  // namespace tolvex
