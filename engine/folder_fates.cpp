// Mirrored folders (SetEmptyFolders): a folder of the selection is a file
// of its own kind. Its counterpart is made when its side's orphans are
// copied, it is removed (once empty, by the folder removal) when they are
// erased, and left alone when they are ignored; a folder whose counterpart
// exists or is made is kept by the folder removal on both sides, so that an
// empty folder and its backup stay. Delete...Dirs keeps its meaning for the
// folders not judged here (no counterpart known, left out by the attribute
// mask, reached through a link) and for the destination folder itself. The run makes folders as it makes a
// copy's target folder: through MakeDirProc, after the copy pass, so that
// the folders the copies made are not made twice.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/update_run.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/platform.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

enum FolderFate : uint8_t {
  kAsBefore,   // no counterpart known: the removal's own rule
  kKept,       // its counterpart exists, or its orphans are ignored
  kMade,       // its counterpart is missing and is made
  kOrphaned,   // gone from the other side, whose orphans are erased here
};

// What a file on `side` only (0 the source tree, 1 the destination tree)
// gets by the job's orphan mode: TOLVEX_ORPHAN_*.
int32_t OrphanRuleOf(const TParameters& p, int side) {
  switch (p.TouchMode) {
    case TOLVEX_TOUCH_TO_DESTINATION:
      if (side == 0) return p.OrphanModeD1 == TOLVEX_ORPHAN_COPY ? TOLVEX_ORPHAN_COPY : TOLVEX_ORPHAN_IGNORE;
      return p.OrphanModeD2 == TOLVEX_ORPHAN_ERASE ? TOLVEX_ORPHAN_ERASE : TOLVEX_ORPHAN_IGNORE;
    case TOLVEX_TOUCH_TO_SOURCE:
      if (side == 1) return p.OrphanModeS1 == TOLVEX_ORPHAN_COPY ? TOLVEX_ORPHAN_COPY : TOLVEX_ORPHAN_IGNORE;
      return p.OrphanModeS2 == TOLVEX_ORPHAN_ERASE ? TOLVEX_ORPHAN_ERASE : TOLVEX_ORPHAN_IGNORE;
    case TOLVEX_TOUCH_BOTH_WAYS:
      return p.OrphanModeB >= TOLVEX_ORPHAN_COPY && p.OrphanModeB <= TOLVEX_ORPHAN_ERASE
                 ? p.OrphanModeB
                 : TOLVEX_ORPHAN_IGNORE;
    default:
      return TOLVEX_ORPHAN_IGNORE;
  }
}

// The folder as the platform names it: a drive root keeps its backslash.
std::string FolderPath(const std::string& dir) {
  return dir.size() > 3 && dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir;
}

// Missing for certain: a folder the system cannot tell about (no access,
// an I/O error) is taken as present, so that nothing is made over it and
// its twin is not removed.
bool IsMissing(const std::string& dir) {
  uint32_t attributes = 0;
  const uint32_t error = Sys().GetAttributes(FolderPath(dir), &attributes);
  return error == kErrFileNotFound || error == kErrPathNotFound;
}

// `folder` (a dirList text, with its backslash) is left out by the mask:
// it is hidden or system without the mask's bit, or lies in such a folder
// (met before it, in dirList's order). Noted in `masked`.
bool MaskedOut(const std::string& folder, uint8_t mask, std::unordered_set<std::string>& masked) {
  const std::string upper = AsciiUpperText(folder);
  const size_t cut = upper.size() > 1 ? upper.rfind('\\', upper.size() - 2) : std::string::npos;
  bool out = cut != std::string::npos && masked.count(upper.substr(0, cut + 1)) != 0;
  uint32_t attributes = 0;
  if (!out && Sys().GetAttributes(FolderPath(folder), &attributes) == kErrOk) {
    out = (attributes & (kAttrHidden | kAttrSystem) & ~static_cast<uint32_t>(mask)) != 0;
  }
  if (out) masked.insert(upper);
  return out;
}

// Whether a folder path (drive form, with its backslash) is a link or
// lies below one: the scan reads no folder through a link, and no folder
// is made through one (it would land outside the selected folders). One
// look per folder on the way down, each kept for the folders after it.
class LinkLookup {
 public:
  bool ThroughLink(const std::string& dir) {
    for (size_t end = dir.find('\\', 3); end != std::string::npos; end = dir.find('\\', end + 1)) {
      const std::string level = dir.substr(0, end);
      const std::string key = AsciiUpperText(level);
      auto known = known_.find(key);
      if (known == known_.end()) {
        uint32_t attributes = 0;
        const uint32_t error = Sys().GetAttributes(level, &attributes);
        // A level that is missing has no link below it.
        const Level kind = error != kErrOk                          ? Level::kMissing
                           : (attributes & kAttrReparsePoint) != 0 ? Level::kLink
                                                                   : Level::kFolder;
        known = known_.emplace(key, kind).first;
      }
      if (known->second == Level::kLink) return true;
      if (known->second == Level::kMissing) return false;
    }
    return false;
  }

 private:
  enum class Level { kFolder, kLink, kMissing };
  std::unordered_map<std::string, Level> known_;
};

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

}  // namespace

void UpdateRun::JudgeFolderFates() {
  folderFates_.assign(plan_.dirList.size(), kAsBefore);
  if (!mirrorsFolders_) return;
  const TParameters& p = parameters_;
  // Both ways with erase: a folder on one side only was deleted on the
  // other when the plan erases a file of it as deleted there; any other
  // is new. (The sync state lists files, not folders: an empty folder
  // deleted on one side comes back, which loses nothing.)
  std::vector<std::string> erasing;  // the folders of erased files, letter case folded
  for (const CANDIDATE& c : plan_.candidates) {
    if ((c.state & STATE_ACTION) == STATE_ERASE && c.dirIndex >= 0 &&
        static_cast<size_t>(c.dirIndex) < plan_.dirList.size()) {
      erasing.push_back(AsciiUpperText(plan_.dirList[c.dirIndex].text()));
    }
  }
  const auto erases_in = [&erasing](const std::string& folder) {
    const std::string upper = AsciiUpperText(folder);
    for (const std::string& dir : erasing) {
      if (StartsWith(dir, upper)) return true;
    }
    return false;
  };
  // The outermost folder of a subtree the other side lacks decides for the
  // whole subtree: a deleted folder's empty subfolders went with it. dirList
  // is sorted, so a folder's subfolders follow it.
  struct MissingSubtree {
    std::string upper;
    bool deleted;
  };
  std::vector<MissingSubtree> subtrees;
  // The attribute mask leaves out hidden and system folders it shares no
  // bit with (the scan still reads them for the files the mask takes);
  // such a folder and the folders in it are not mirrored.
  std::unordered_set<std::string> masked;
  LinkLookup links;
  for (size_t k = 0; k < plan_.dirList.size() && k < plan_.counterpartList.size(); ++k) {
    const std::string& folder = plan_.dirList[k].text();
    const std::string& counterpart = plan_.counterpartList[k].text();
    if (counterpart.empty()) continue;
    if (MaskedOut(folder, p.Attributes, masked)) continue;
    if (links.ThroughLink(folder) || links.ThroughLink(counterpart)) continue;
    const int side = plan_.dirList[k].mark() == 1 ? 1 : 0;
    const bool create = side == 0 ? p.CreateDestDirs : p.CreateSrcDirs;
    uint8_t fate = kKept;
    if (IsMissing(counterpart)) {
      const std::string upper = AsciiUpperText(folder);
      while (!subtrees.empty() && !StartsWith(upper, subtrees.back().upper)) subtrees.pop_back();
      if (subtrees.empty()) subtrees.push_back({upper, erases_in(folder)});
      switch (OrphanRuleOf(p, side)) {
        case TOLVEX_ORPHAN_COPY: fate = create ? kMade : kKept; break;
        case TOLVEX_ORPHAN_ERASE:
          if (p.TouchMode != TOLVEX_TOUCH_BOTH_WAYS || subtrees.back().deleted) {
            fate = kOrphaned;
          } else {
            fate = create ? kMade : kKept;
          }
          break;
        default: break;
      }
    }
    folderFates_[k] = fate;
  }
}

// By the texts as they are now: the rotation renames them after the fates
// are judged.
bool UpdateRun::KeepsFolder(size_t k) const {
  return k < folderFates_.size() && (folderFates_[k] == kKept || folderFates_[k] == kMade);
}

bool UpdateRun::OrphanedFolder(size_t k) const {
  return k < folderFates_.size() && folderFates_[k] == kOrphaned;
}

bool UpdateRun::RemovesAnyFolder() const {
  const TParameters& p = parameters_;
  if (p.DeleteSrcDirs || p.DeleteDestDirs) return true;
  for (size_t k = 0; k < folderFates_.size(); ++k) {
    if (OrphanedFolder(k)) return true;
  }
  return false;
}

bool UpdateRun::KeepsFolder(const std::string& folder) const {
  const std::string upper = AsciiUpperText(folder);
  for (size_t k = 0; k < folderFates_.size(); ++k) {
    if (KeepsFolder(k) && (AsciiUpperText(plan_.dirList[k].text()) == upper ||
                           AsciiUpperText(plan_.counterpartList[k].text()) == upper)) {
      return true;
    }
  }
  return false;
}

std::vector<std::pair<std::string, int>> UpdateRun::FoldersToMake(
    const std::vector<std::string>& written) const {
  std::vector<std::pair<std::string, int>> folders;
  std::unordered_set<std::string> listed;
  std::vector<std::string> targets;
  targets.reserve(written.size());
  for (const std::string& path : written) targets.push_back(AsciiUpperText(path));
  for (size_t k = 0; k < folderFates_.size(); ++k) {
    if (folderFates_[k] != kMade) continue;
    const std::string& counterpart = plan_.counterpartList[k].text();
    const std::string upper = AsciiUpperText(counterpart);
    if (!listed.insert(upper).second) continue;
    // A copy's own target folder is made for the copy.
    bool made_by_copy = false;
    for (const std::string& target : targets) made_by_copy = made_by_copy || StartsWith(target, upper);
    if (made_by_copy) continue;
    folders.emplace_back(counterpart, plan_.dirList[k].mark() == 1 ? 0 : 1);
  }
  return folders;
}

// Each folder still missing after the copy pass, parents first (the
// front end makes a folder's parents too); a stop ends the step between
// two folders. No log line, as for the folders made for copies: the log
// has none for a folder made (the outcome channel tells it).
void UpdateRun::MakeEmptyFolders() {
  if (!mirrorsFolders_ || !callbacks_.makeDir) return;
  for (const auto& [folder, side] : FoldersToMake({})) {
    Sys().PumpStep();
    if (plan_.Aborted) return;
    if (!IsMissing(folder)) continue;
    {
      FrontEndCall call;
      callbacks_.makeDir(folder.c_str());
    }
    const bool made = !IsMissing(folder);
    changed_ = changed_ || made;
    RunItem item(TOLVEX_ITEM_FOLDER_MADE);
    item.item.side = side;
    item.item.outcome = made ? TOLVEX_OUTCOME_DONE : TOLVEX_OUTCOME_FAILED;
    item.from = folder;
    items_.Outcome(std::move(item));
  }
}

}  // namespace tolvex
