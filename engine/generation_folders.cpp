#include "engine/generation_folders.h"

#include <string>
#include <vector>

#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// The two reasons the rotation's rule expects a rename to fail for: the
// folder to rename is missing (a young rotation), or its new name is taken.
bool IsExpectedRenameFailure(uint32_t error) {
  return error == kErrFileNotFound || error == kErrPathNotFound || error == kErrAlreadyExists ||
         error == kErrFileExists;
}

// The oldest generation (Father) becomes the new Grandson through the
// temporary Grandfather, so that this run refreshes the oldest copy while the
// two newer ones stay. A leftover Grandfather blocks the first and the last
// rename, and with all three generations present every rename fails.
//
// A run killed between two renames leaves Grandfather behind, and the next
// rotation completes the interrupted one: the renames it still needs find
// their targets free. Grandfather stays for good only where every rename
// then fails (a rename refused by the system, or a Grandfather made by
// someone else): that is reported, with every rename that failed for
// another reason than the two above.
void RotateGenerations(const std::string& prefix, std::vector<std::string>* blocked) {
  const std::string father = prefix + kFatherFolder;
  const std::string son = prefix + kSonFolder;
  const std::string grandson = prefix + kGrandsonFolder;
  const std::string grandfather = prefix + kGrandfatherFolder;
  const std::string renames[][2] = {
      {father, grandfather}, {son, father}, {grandson, son}, {grandfather, grandson}};
  for (const auto& rename : renames) {
    const uint32_t error = Sys().MoveEntry(rename[0], rename[1]);
    if (blocked && error != kErrOk && !IsExpectedRenameFailure(error)) {
      blocked->push_back(rename[0] + "\\");
    }
    Sys().PumpStep();
  }
  uint32_t attributes = 0;
  if (blocked && Sys().GetAttributes(grandfather, &attributes) == kErrOk &&
      (attributes & kAttrDirectory) &&
      (blocked->empty() || blocked->back() != grandfather + "\\")) {
    blocked->push_back(grandfather + "\\");
  }
}

}  // namespace

std::string PlannedDestinationRoot(const TParameters& parameters) {
  return WorkingDestinationFolder(parameters.VaryMode, parameters.Destination, parameters.Weekday,
                                  Sys().Now())
      .value_or(parameters.DestinationRoot);
}

void MakeDestinationRoot(TParameters& parameters, std::vector<std::string>* blocked) {
  if (parameters.VaryMode == TOLVEX_VARY_GENERATIONS) {
    RotateGenerations(DestinationFolder(parameters.Destination), blocked);
  }
  parameters.DestinationRoot = PlannedDestinationRoot(parameters);
}

}  // namespace tolvex
