// Mirrored folders (SetEmptyFolders): a folder of the selection is a file
// of its own kind. Its counterpart is made when its side's orphans are
// copied, it is removed (once empty, by the folder removal) when they are
// erased, and left alone when they are ignored; a folder whose counterpart
// exists or is made is kept by the folder removal on both sides, so that an
// empty folder and its backup stay. Delete...Dirs keeps its meaning for the
// folders not judged here (no counterpart known, left out by the attribute
// mask, reached through a link) and for the destination folder itself.
// The run makes folders as it makes a copy's target folder: through
// MakeDirProc, after the copy pass, so that the folders the copies made are
// not made twice.
#include <algorithm>
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

// Whether a folder is missing now (the run's look before and after it asks
// for one).
bool IsMissing(const std::string& dir) {
  uint32_t attributes = 0;
  const uint32_t error = Sys().GetAttributes(FolderPath(dir), &attributes);
  return error == kErrFileNotFound || error == kErrPathNotFound;
}

// What the judging needs to know of the folders on the way to a folder,
// each level looked up once (a level is the parent of many folders) and
// only where the scan's folder list cannot tell: whether one is a link (no
// folder is made or removed through one: it would be outside the selected
// folders; the scan reads none through one either), or hidden or system
// without the mask's bit (such a folder and what it holds are not
// mirrored; the scan still reads them for the files the mask takes).
// Levels at or above `base` (the selected folder or the destination folder
// a path lies in) are taken as the job names them.
class FolderLookup {
 public:
  bool ThroughLink(const std::string& dir, size_t base) {
    return AnyLevel(dir, base, [](uint32_t attributes) {
      return (attributes & kAttrReparsePoint) != 0;
    });
  }
  bool MaskedOut(const std::string& dir, size_t base, uint8_t mask) {
    return AnyLevel(dir, base, [mask](uint32_t attributes) {
      return (attributes & (kAttrHidden | kAttrSystem) & ~static_cast<uint32_t>(mask)) != 0;
    });
  }
  // Missing for certain: a folder the system cannot tell about (no access,
  // an I/O error) is taken as present, so that nothing is made over it and
  // its twin is not removed.
  bool Missing(const std::string& dir) { return Of(FolderPath(dir)).missing; }

 private:
  struct Level {
    bool missing = false;
    bool known = false;  // attributes read
    uint32_t attributes = 0;
  };
  template <typename Test>
  bool AnyLevel(const std::string& dir, size_t base, Test test) {
    for (size_t end = dir.find('\\', std::max<size_t>(base, 3)); end != std::string::npos;
         end = dir.find('\\', end + 1)) {
      const Level& level = Of(dir.substr(0, end));
      if (!level.known) return false;  // nothing is below a missing level
      if (test(level.attributes)) return true;
    }
    return false;
  }
  const Level& Of(const std::string& path) {
    const std::string key = AsciiUpperText(path);
    auto known = levels_.find(key);
    if (known != levels_.end()) return known->second;
    Level level;
    const uint32_t error = Sys().GetAttributes(path, &level.attributes);
    level.known = error == kErrOk;
    level.missing = error == kErrFileNotFound || error == kErrPathNotFound;
    return levels_.emplace(key, level).first->second;
  }

  std::unordered_map<std::string, Level> levels_;
};

// Every folder above the paths (letter case folded, with its backslash):
// whether a path lies in a folder is then one look.
std::unordered_set<std::string> FoldersAbove(const std::vector<std::string>& paths) {
  std::unordered_set<std::string> folders;
  for (const std::string& path : paths) {
    const std::string upper = AsciiUpperText(path);
    for (size_t end = upper.find('\\'); end != std::string::npos; end = upper.find('\\', end + 1)) {
      if (end + 1 < upper.size()) folders.insert(upper.substr(0, end + 1));
    }
  }
  return folders;
}

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
  std::vector<std::string> erased_files;
  for (const CANDIDATE& c : plan_.candidates) {
    if ((c.state & STATE_ACTION) == STATE_ERASE && c.dirIndex >= 0 &&
        static_cast<size_t>(c.dirIndex) < plan_.dirList.size()) {
      erased_files.push_back(plan_.dirList[c.dirIndex].text() + "x");
    }
  }
  const std::unordered_set<std::string> erasing = FoldersAbove(erased_files);
  // The outermost folder of a subtree the other side lacks decides for the
  // whole subtree: a deleted folder's empty subfolders went with it. dirList
  // is sorted, so a folder's subfolders follow it.
  struct MissingSubtree {
    std::string upper;
    bool deleted;
  };
  std::vector<MissingSubtree> subtrees;
  // The folder a path lies in that the job names: the working destination
  // folder, or the longest selected folder.
  std::vector<std::string> bases{AsciiUpperText(plan_.DestinationRoot)};
  for (const STRING& include : p.DInclSels) {
    std::string folder = include.text();
    if (!folder.empty() && folder.back() == '*') folder.pop_back();
    bases.push_back(AsciiUpperText(folder));
  }
  const auto base_of = [&bases](const std::string& path) {
    const std::string upper = AsciiUpperText(path);
    size_t base = upper.size();  // no base: nothing to look at
    size_t longest = 0;
    for (const std::string& folder : bases) {
      if (!folder.empty() && folder.size() > longest && StartsWith(upper, folder)) {
        longest = folder.size();
        base = folder.size();
      }
    }
    return base;
  };
  // A counterpart the scan listed exists; only the others are looked up.
  std::unordered_set<std::string> listed;
  for (const STRING& entry : plan_.dirList) listed.insert(AsciiUpperText(entry.text()));
  const bool masks = (p.Attributes & (kAttrHidden | kAttrSystem)) != (kAttrHidden | kAttrSystem);
  FolderLookup lookup;
  for (size_t k = 0; k < plan_.dirList.size() && k < plan_.counterpartList.size(); ++k) {
    const std::string& folder = plan_.dirList[k].text();
    const std::string& counterpart = plan_.counterpartList[k].text();
    if (counterpart.empty()) continue;
    if (masks && lookup.MaskedOut(folder, base_of(folder), p.Attributes)) continue;
    const bool missing =
        listed.count(AsciiUpperText(counterpart)) == 0 && lookup.Missing(counterpart);
    if (missing && (lookup.ThroughLink(folder, base_of(folder)) ||
                    lookup.ThroughLink(counterpart, base_of(counterpart)))) {
      continue;
    }
    const int side = plan_.dirList[k].mark() == 1 ? 1 : 0;
    const bool create = side == 0 ? p.CreateDestDirs : p.CreateSrcDirs;
    uint8_t fate = kKept;
    if (missing) {
      const std::string upper = AsciiUpperText(folder);
      while (!subtrees.empty() && !StartsWith(upper, subtrees.back().upper)) subtrees.pop_back();
      if (subtrees.empty()) subtrees.push_back({upper, erasing.count(upper) != 0});
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

std::vector<UpdateRun::FolderToMake> UpdateRun::FoldersToMake(
    const std::vector<std::string>& written) const {
  std::vector<FolderToMake> folders;
  std::unordered_set<std::string> listed;
  // A copy's target folder, and the folders above it, are made for the copy.
  const std::unordered_set<std::string> made_by_copies = FoldersAbove(written);
  for (size_t k = 0; k < folderFates_.size(); ++k) {
    if (folderFates_[k] != kMade) continue;
    const std::string& counterpart = plan_.counterpartList[k].text();
    const std::string upper = AsciiUpperText(counterpart);
    // Where names tell case apart, "Twin\" and "twin\" are two folders.
    if (!listed.insert(plan_.namesTellCaseApart ? counterpart : upper).second ||
        made_by_copies.count(upper) != 0) {
      continue;
    }
    folders.push_back({counterpart, plan_.dirList[k].mark() == 1 ? 0 : 1, k});
  }
  return folders;
}

// Each folder still missing after the copy pass, parents first (the
// front end makes a folder's parents too); a stop ends the step between
// two folders. No log line, as for the folders made for copies: the log
// has none for a folder made (the outcome channel tells it).
void UpdateRun::MakeEmptyFolders() {
  if (!mirrorsFolders_ || !callbacks_.makeDir) return;
  for (const auto& [folder, side, k] : FoldersToMake({})) {
    Sys().PumpStep();
    if (plan_.Aborted) break;
    if (!IsMissing(folder)) continue;
    std::string existing;
    const std::vector<MissingFolder> missing = MissingFolders(plan_.dirList[k].text(), folder, &existing);
    {
      FrontEndCall call;
      callbacks_.makeDir(folder.c_str());
    }
    const bool made = !IsMissing(folder);
    changed_ = changed_ || made;
    // Each folder made takes its source folder's mode (POSIX), as the
    // folders the copies make do.
    for (const MissingFolder& level : missing) {
      if (IsMissing(level.target)) break;
      if (!level.source.empty()) TakeModeForMadeFolder(level.source, level.target);
    }
    RunItem item(TOLVEX_ITEM_FOLDER_MADE);
    item.item.side = side;
    item.item.outcome = made ? TOLVEX_OUTCOME_DONE : TOLVEX_OUTCOME_FAILED;
    item.from = folder;
    items_.Outcome(std::move(item));
  }
  FinishFolderModes();
}

void UpdateRun::TakeModeForMadeFolder(const std::string& source, const std::string& made) {
  const uint32_t error = folderModes_.TakeForMadeFolder(source, made);
  // 50: no modes here, nothing to give.
  if (error != kErrOk && error != kErrNotSupported) LogFolderModeFailed(source, made);
}

void UpdateRun::FinishFolderModes() {
  for (const FolderModes::Unset& unset : folderModes_.Finish()) {
    LogFolderModeFailed(unset.source, unset.folder);
  }
}

// A folder made or opened by the run that did not get its mode (it keeps
// the one it was made with, or stays open to its owner): an error at
// copying the folder, without a size or stamp, onto itself where the
// folder it stands for is not known.
void UpdateRun::LogFolderModeFailed(const std::string& source, const std::string& folder) {
  const std::string from = source.empty() ? folder : source;
  log_.Write(kEventCopyError, LogEntry::File(from + "\\", folder + "\\", "", "", "", ""));
}

}  // namespace tolvex
