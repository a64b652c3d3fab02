#include "engine/generation_folders.h"

#include <map>
#include <string>

#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// The oldest generation (Father) becomes the new Grandson through the
// temporary Grandfather, so that this run refreshes the oldest copy while the
// two newer ones stay. A leftover Grandfather blocks the first and the last
// rename, and with all three generations present every rename fails.
std::vector<RotationStep> RotationRenames(const std::string& prefix) {
  const std::string father = prefix + kFatherFolder;
  const std::string son = prefix + kSonFolder;
  const std::string grandson = prefix + kGrandsonFolder;
  const std::string grandfather = prefix + kGrandfatherFolder;
  return {{father, grandfather}, {son, father}, {grandson, son}, {grandfather, grandson}};
}

bool Exists(const std::string& path) {
  uint32_t attributes = 0;
  return Sys().GetAttributes(path, &attributes) == kErrOk;
}

// "T:\\Backup\\Grandson\\" without its closing backslash.
std::string DestinationStem(const std::string& folder) {
  return folder.empty() || folder.back() != '\\' ? folder : folder.substr(0, folder.size() - 1);
}

std::string GrandfatherOf(const std::string& prefix) {
  const std::string grandfather = prefix + kGrandfatherFolder;
  return Exists(grandfather) ? grandfather : std::string();
}

Rotation RotateGenerations(const std::string& prefix) {
  Rotation rotation;
  rotation.leftover = GrandfatherOf(prefix);
  rotation.steps = RotationRenames(prefix);
  for (RotationStep& step : rotation.steps) {
    step.error = Sys().MoveEntry(step.from, step.to);
    Sys().PumpStep();
  }
  return rotation;
}

// The renames as MoveEntry would answer them: a missing source fails with
// 2, a present target with 183. *grandson_origin gets the folder that ends
// up named Grandson (empty when none does).
Rotation JudgeRotation(const std::string& prefix, std::string* grandson_origin) {
  Rotation rotation;
  rotation.leftover = GrandfatherOf(prefix);
  rotation.steps = RotationRenames(prefix);
  // Each of the four names, and the folder of today that would carry it.
  std::map<std::string, std::string> holder;
  for (const RotationStep& step : rotation.steps) {
    if (holder.count(step.from) == 0) holder[step.from] = Exists(step.from) ? step.from : "";
  }
  for (RotationStep& step : rotation.steps) {
    if (holder[step.from].empty()) {
      step.error = kErrFileNotFound;
    } else if (!holder[step.to].empty()) {
      step.error = kErrAlreadyExists;
    } else {
      holder[step.to] = holder[step.from];
      holder[step.from].clear();
    }
  }
  *grandson_origin = holder[prefix + kGrandsonFolder];
  return rotation;
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

Rotation RotateGenerationFolders(const std::string& destination) {
  return RotateGenerations(DestinationFolder(destination));
}

std::vector<RotationStep> UndoRotation(const Rotation& rotation) {
  std::vector<RotationStep> undone;
  for (auto step = rotation.steps.rbegin(); step != rotation.steps.rend(); ++step) {
    if (step->error != kErrOk) continue;
    RotationStep back{step->to, step->from, 0};
    back.error = Sys().MoveEntry(back.from, back.to);
    Sys().PumpStep();
    undone.push_back(back);
  }
  return undone;
}

Rotation MakeDestinationRoot(const TParameters& parameters, Plan& plan) {
  Rotation rotation;
  if (parameters.VaryMode == TOLVEX_VARY_GENERATIONS) {
    rotation = RotateGenerationFolders(parameters.Destination);
  }
  plan.DestinationRoot = PlannedDestinationRoot(parameters);
  return rotation;
}

Rotation JudgeDestinationRoot(const TParameters& parameters, Plan& plan,
                              std::string* scanned_root) {
  Rotation rotation;
  std::string origin;
  const bool rotates = parameters.VaryMode == TOLVEX_VARY_GENERATIONS;
  if (rotates) rotation = JudgeRotation(DestinationFolder(parameters.Destination), &origin);
  plan.DestinationRoot = PlannedDestinationRoot(parameters);
  *scanned_root = origin.empty() ? plan.DestinationRoot : origin + "\\";
  if (rotates && origin.empty() && Exists(DestinationStem(plan.DestinationRoot))) {
    // Today's Grandson is renamed away and none takes its name: the run
    // writes into a new, empty folder. A folder that does not exist stands
    // in for it.
    for (int k = 1;; ++k) {
      const std::string absent =
          DestinationFolder(parameters.Destination) + kGrandsonFolder + ".new" + std::to_string(k);
      if (!Exists(absent)) {
        *scanned_root = absent + "\\";
        break;
      }
    }
  }
  return rotation;
}

}  // namespace tolvex
