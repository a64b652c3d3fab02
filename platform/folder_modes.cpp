#include "platform/folder_modes.h"

#include <algorithm>

#include "platform/platform.h"

namespace tolvex {

namespace {

size_t Depth(const std::string& folder) { return std::count(folder.begin(), folder.end(), '\\'); }

}  // namespace

uint32_t FolderModes::TakeForMadeFolder(const std::string& source, const std::string& made) {
  uint32_t mode = 0;
  const uint32_t error = Sys().CopyMode(source, made, kOwnerFills, &mode);
  if (error == kErrOk && (mode & kOwnerFills) != kOwnerFills) waiting_.push_back({source, made, mode});
  return error;
}

void FolderModes::OpenForWriting(const std::string& source, const std::string& folder) {
  for (const Waiting& waiting : waiting_) {
    if (waiting.folder == folder) return;
  }
  Platform::ModeInfo info;
  if (Sys().GetModeInfo(folder, &info) != kErrOk) return;
  if ((info.mode & kOwnerFills) == kOwnerFills) return;
  if (Sys().SetMode(folder, info.mode | kOwnerFills) == kErrOk) {
    waiting_.push_back({source, folder, info.mode});
  }
}

std::vector<FolderModes::Unset> FolderModes::Finish() {
  // A folder that refuses its owner's writes is closed only after every
  // folder below it.
  std::stable_sort(waiting_.begin(), waiting_.end(), [](const Waiting& a, const Waiting& b) {
    return Depth(a.folder) > Depth(b.folder);
  });
  std::vector<Unset> unset;
  for (const Waiting& waiting : waiting_) {
    if (const uint32_t error = Sys().SetMode(waiting.folder, waiting.mode)) {
      unset.push_back({waiting.source, waiting.folder, error});
    }
  }
  waiting_.clear();
  return unset;
}

}  // namespace tolvex
