#include "scan/names_alike.h"

#include <unordered_set>
#include <vector>

#include "model/parameters.h"
#include "platform/text_rules.h"
#include "scan/folder_spellings.h"
#include "scan/selections.h"

namespace tolvex {

namespace {

// "S:\Data\Dir\" -> "S:\Data\" and "Dir"; false for a drive root.
bool SplitFolder(const std::string& folder, std::string* parent, std::string* name) {
  if (folder.size() < 2) return false;
  const size_t slash = folder.rfind('\\', folder.size() - 2);
  if (slash == std::string::npos || slash + 1 >= folder.size() - 1) return false;
  *parent = folder.substr(0, slash + 1);
  *name = folder.substr(slash + 1, folder.size() - slash - 2);
  return true;
}

// True when `name` has a twin in `listing`; reports every spelling of a case
// twin.
bool TwinIn(std::string_view name, const FolderListing& listing, const std::string& folder,
            const char* suffix, bool case_twins, FindingSink* sink) {
  if (case_twins && listing.HoldsCaseTwinsOf(name)) {
    for (const ListedEntry& entry : listing.Spellings(name)) {
      sink->Add(TOLVEX_REPORT_CASE_TWIN, folder + std::string(entry.name) + suffix);
    }
    return true;
  }
  return listing.HoldsUnusableAlike(name);
}

// True when `folder` or a folder above it is in `folders` (case folded).
bool BelowAny(const std::unordered_set<std::string>& folders, std::string folder) {
  std::string parent;
  std::string name;
  for (;;) {
    if (folders.count(AsciiUpperText(folder)) != 0) return true;
    if (!SplitFolder(folder, &parent, &name)) return false;
    folder = parent;
  }
}

}  // namespace

bool HasTwin(std::string_view name, const FolderListing& own, const std::string& own_folder,
             const FolderListing& counterpart, const std::string& counterpart_folder,
             bool case_twins, FindingSink* sink) {
  const bool here = TwinIn(name, own, own_folder, "", case_twins, sink);
  const bool there = TwinIn(name, counterpart, counterpart_folder, "", case_twins, sink);
  return here || there;
}

void DropFoldersWithTwins(const TParameters& parameters, Plan& plan,
                          const std::unordered_set<std::string>& roots, FolderListings* listings,
                          FindingSink* sink) {
  const bool paired_folders = parameters.PathMode != TOLVEX_PATH_FLAT;
  const bool case_twins = !plan.namesTellCaseApart;
  // Folders left alone, letter case folded: a subfolder of one is too.
  std::unordered_set<std::string> untouchable;
  // Twins are reported by the names that are there, also in a counterpart
  // folder built from the other side's spelling.
  const FolderSpellings spellings(plan.dirList, plan.namesTellCaseApart);
  std::vector<STRING> kept;
  kept.reserve(plan.dirList.size());
  for (STRING& entry : plan.dirList) {
    const std::string& folder = entry.text();
    std::string parent;
    std::string name;
    bool drop = false;
    if (SplitFolder(folder, &parent, &name)) {
      // Nearly always nothing is left alone, and no folder need be walked up.
      drop = !untouchable.empty() && BelowAny(untouchable, parent);
      if (!drop && roots.count(folder) == 0) {
        drop = TwinIn(name, *listings->Get(parent), parent, "\\", case_twins, sink);
        const std::string counterpart =
            paired_folders
                ? spellings.Of(MapCounterpartDirectory(parameters, plan, parent, entry.mark()))
                : "";
        if (!counterpart.empty()) {
          drop = TwinIn(name, *listings->Get(counterpart), counterpart, "\\", case_twins, sink) ||
                 drop;
        }
      }
    }
    if (drop) {
      untouchable.insert(AsciiUpperText(folder));
    } else {
      kept.push_back(std::move(entry));
    }
  }
  plan.dirList = std::move(kept);
}

}  // namespace tolvex
