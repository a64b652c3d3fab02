// Which folders the folder removal takes: the plan lists them before the
// passes, as the run will find them after the passes.
#include <unordered_set>

#include "engine/update_run.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"
#include "platform/text_rules.h"
#include "scan/folder_listings.h"

namespace tolvex {

namespace {

// The folder a directory include selects ("S:\Data\*" -> "S:\Data\").
std::string SelectedFolder(std::string include) {
  if (!include.empty() && include.back() == '*') include.pop_back();
  return include;
}

bool IsDotName(const std::string& name) { return name == "." || name == ".."; }

std::unordered_set<std::string> Upper(const std::vector<std::string>& paths) {
  std::unordered_set<std::string> upper;
  for (const std::string& path : paths) upper.insert(AsciiUpperText(path));
  return upper;
}

}  // namespace

// A folder the job selects is never removed by its own run: once gone, the
// next run reports it missing and leaves its backup alone for good.
// With SetEmptyFolders a folder mirrored on the other side (or made
// there) is kept as a file with its counterpart would be, and one gone from
// the other side whose orphans are erased here is removed as they are.
bool UpdateRun::RemovesFolder(size_t k) const {
  const TParameters& p = parameters_;
  const STRING& entry = plan_.dirList[k];
  const bool dest_side = entry.mark() == 1;
  if (!OrphanedFolder(k) && (dest_side ? !p.DeleteDestDirs : !p.DeleteSrcDirs)) return false;
  if (KeepsFolder(k)) return false;
  if (dest_side) return true;
  for (const STRING& include : p.DInclSels) {
    if (SelectedFolder(include.text()) == entry.text()) return false;
  }
  return true;
}

std::vector<std::pair<std::string, int>> UpdateRun::FoldersLeftEmpty(
    const std::vector<std::string>& erased, const std::vector<std::string>& written) const {
  std::vector<std::pair<std::string, int>> removals;
  const TParameters& p = parameters_;
  if (!RemovesAnyFolder()) return removals;
  const std::unordered_set<std::string> gone = Upper(erased);
  const std::unordered_set<std::string> targets = Upper(written);
  std::unordered_set<std::string> removed;
  // Empty after the passes: each entry it holds now is a file the plan
  // erases or a folder removed before it, and no copy lands in it.
  const auto left_empty = [&](const std::string& folder) {
    const std::string upper = AsciiUpperText(folder);
    for (const std::string& target : targets) {
      if (target.compare(0, upper.size(), upper) == 0) return false;
    }
    std::vector<FindEntry> entries;
    const uint32_t error = Sys().FindEntries(folder + "*.*", kEveryEntryMask, &entries, nullptr);
    if (error != kErrOk && error != kErrFileNotFound) return false;
    for (const FindEntry& entry : entries) {
      if (IsDotName(entry.name)) continue;
      const bool subfolder = (entry.attributes & kAttrDirectory) != 0 &&
                             (entry.attributes & kAttrReparsePoint) == 0;
      const std::string path = upper + AsciiUpperText(entry.name);
      if (subfolder ? removed.count(path + "\\") == 0 : gone.count(path) == 0) return false;
    }
    return true;
  };
  const auto consider = [&](const std::string& folder, int side) {
    if (removed.count(AsciiUpperText(folder)) != 0 || !left_empty(folder)) return;
    removed.insert(AsciiUpperText(folder));
    removals.emplace_back(folder, side);
  };
  for (size_t k = plan_.dirList.size(); k-- > 0;) {
    if (RemovesFolder(k))
      consider(plan_.dirList[k].text(), plan_.dirList[k].mark() == 1 ? 1 : 0);
  }
  if (p.DeleteDestDirs) {
    for (const std::string& folder : {plan_.DestinationRoot, DestinationFolder(p.Destination)}) {
      if (!folder.empty() && folder.back() == '\\' && !KeepsFolder(folder)) consider(folder, 1);
    }
  }
  return removals;
}

}  // namespace tolvex
