#include "engine/generation_folders.h"

#include <string>

#include "platform/platform.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

// Destination as a folder prefix: names are appended right after it.
std::string FolderPrefix(const std::string& destination) {
  if (destination.empty() || destination.back() == '\\' || destination.back() == '/') {
    return destination;
  }
  return destination + '\\';
}

// "A" followed by month, day and two-digit year.
std::string DatedFolderName(const LocalTime& today) {
  return "A" + TwoDigits(today.month) + TwoDigits(today.day) + TwoDigits(today.year - 1900);
}

const char* OddEvenFolderName(const LocalTime& today) {
  return today.day % 2 != 0 ? "Odd" : "Even";
}

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

void MakeDestinationRoot(TParameters& parameters) {
  const std::string prefix = FolderPrefix(parameters.Destination);
  switch (parameters.VaryMode) {
    case TOLVEX_VARY_NONE:
      parameters.DestinationRoot = prefix;
      return;
    case TOLVEX_VARY_DATED:
      parameters.DestinationRoot = prefix + DatedFolderName(Sys().Now()) + '\\';
      return;
    case TOLVEX_VARY_WEEKDAY:
      parameters.DestinationRoot = prefix + parameters.Weekday + '\\';
      return;
    case TOLVEX_VARY_ODD_EVEN:
      parameters.DestinationRoot = prefix + OddEvenFolderName(Sys().Now()) + '\\';
      return;
    case TOLVEX_VARY_GENERATIONS:
      RotateGenerations(prefix);
      parameters.DestinationRoot = prefix + kGrandsonFolder + '\\';
      return;
    default:
      // No folder: the previous run's belongs to the previous job, and a
      // run with an unknown mode would write into that job's backup.
      parameters.DestinationRoot.clear();
      return;
  }
}

}  // namespace tolvex
