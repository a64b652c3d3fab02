#include "engine/generation_folders.h"

#include <string>

#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// The oldest generation (Father) becomes the new Grandson through the
// temporary Grandfather, so that this run refreshes the oldest copy while the
// two newer ones stay. A leftover Grandfather blocks the first and the last
// rename, and with all three generations present every rename fails.
void RotateGenerations(const std::string& prefix) {
  const std::string father = prefix + kFatherFolder;
  const std::string son = prefix + kSonFolder;
  const std::string grandson = prefix + kGrandsonFolder;
  const std::string grandfather = prefix + kGrandfatherFolder;
  const std::string renames[][2] = {
      {father, grandfather}, {son, father}, {grandson, son}, {grandfather, grandson}};
  for (const auto& rename : renames) {
    Sys().MoveEntry(rename[0], rename[1]);
    Sys().PumpStep();
  }
}

}  // namespace

std::string PlannedDestinationRoot(const TParameters& parameters) {
  // An unknown vary mode names no folder: the previous run's folder belongs
  // to the previous job, and a run with such a mode would write into that
  // job's backup. Without a folder the scan visits nothing.
  return WorkingDestinationFolder(parameters.VaryMode, parameters.Destination, parameters.Weekday,
                                  Sys().Now())
      .value_or(std::string());
}

void MakeDestinationRoot(TParameters& parameters) {
  if (parameters.VaryMode == TOLVEX_VARY_GENERATIONS) {
    RotateGenerations(DestinationFolder(parameters.Destination));
  }
  parameters.DestinationRoot = PlannedDestinationRoot(parameters);
}

}  // namespace tolvex
