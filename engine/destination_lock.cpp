// The lock of a run on its destination folder, and the removal of dead
// temporary files before the plan is carried out.
//
// Two runs of one job (two terminals, a scheduler firing twice), or two
// jobs with one Destination, would copy every file twice over itself, erase
// what the other just copied, write their log blocks into each other (a
// replaced log would even be emptied under the other run) and, with
// generation folders, rotate twice. So a run holds the lock file of its
// Destination (platform: LockFolder) from before it opens its log until its
// end; the generation step, the passes and the log all lie within. A run
// that finds the lock held asks the front end (10011) whether to try again;
// any other answer ends it, with nothing written to the log, which belongs
// to the other run.
#include <string>

#include "engine/update_run.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// Destination, or the nearest folder above it that exists (a first run,
// before anything was copied): the run locks that one.
std::string FolderToLock(const std::string& destination) {
  std::string folder = DestinationFolder(destination);
  if (!IsDirectoryEntry(folder)) return std::string();
  for (;;) {
    uint32_t attributes = 0;
    const std::string bare = folder.size() > 3 ? folder.substr(0, folder.size() - 1) : folder;
    if (Sys().GetAttributes(bare, &attributes) == kErrOk) {
      return (attributes & kAttrDirectory) ? folder : std::string();
    }
    if (folder.size() <= 3) return std::string();
    folder.erase(folder.rfind('\\', folder.size() - 2) + 1);
  }
}

}  // namespace

UpdateRun::Lock UpdateRun::LockDestination() {
  const std::string folder = FolderToLock(parameters_.Destination);
  if (folder.empty()) return Lock::kHeld;  // nothing to write into: the checks will say why
  const char drive = static_cast<char>(Sys().UpperCase(folder.substr(0, 1))[0]);
  for (;;) {
    Sys().PumpStep();
    const uint32_t error = Sys().LockFolder(folder, &lock_);
    if (error == kErrOk) return Lock::kHeld;
    if (error != kErrSharingViolation) return Lock::kUnprotected;
    if (Notify(kEventDestinationBusy, drive, 0) != TOLVEX_NOTIFY_RETRY || plan_.Aborted) {
      return Lock::kRefused;
    }
  }
}

void UpdateRun::RemoveDeadTemporaries() {
  // Both sides: a run copies into the source tree too (both ways, Invert).
  uint32_t removed = 0;
  for (const STRING& folder : plan_.dirList) {
    Sys().PumpStep();
    if (plan_.Aborted) return;
    Sys().RemoveDeadTemporaries(folder.text(), &removed);
  }
}

}  // namespace tolvex
