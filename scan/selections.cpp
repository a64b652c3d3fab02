#include "scan/selections.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "platform/name_case.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// Tells the gauge each new position once: the expansion computes a position
// per entry and pass, and most of them repeat the previous one.
class GaugeMover {
 public:
  explicit GaugeMover(SearchProgressView* view) : view_(view) {}
  bool active() const { return view_ != nullptr; }
  void Move(int position) {
    if (view_ == nullptr || position == last_) return;
    view_->SetGaugePosition(position);
    last_ = position;
  }

 private:
  SearchProgressView* view_;
  int last_ = INT_MIN;
};

bool EndsWithStar(const std::string& text) { return !text.empty() && text.back() == '*'; }

// Removes the entries flagged in `drop`, keeping the order of the others.
void EraseFlagged(std::vector<STRING>* list, const std::vector<char>& drop) {
  size_t kept = 0;
  for (size_t i = 0; i < list->size(); ++i) {
    if (drop[i]) continue;
    if (kept != i) (*list)[kept] = std::move((*list)[i]);
    ++kept;
  }
  list->resize(kept);
}

// DestinationRoot without its closing backslash.
std::string DestinationStem(const Plan& plan) {
  std::string stem = plan.DestinationRoot;
  if (!stem.empty()) stem.pop_back();
  return stem;
}

std::string Stripped(std::string text, const std::string& prefix) {
  StripPrefix(&text, prefix);
  return text;
}

}  // namespace

SelectionState StateOfSelection(const std::string& entry) {
  if (!IsDirectoryEntry(entry)) return SelectionState::kMissing;
  std::string path = entry;
  if (EndsWithStar(path)) path.pop_back();
  // A drive root keeps its backslash: "C:" alone would name the current
  // folder of that drive.
  if (path.size() > 3) path.pop_back();
  uint32_t attributes = 0;
  const uint32_t error = Sys().GetAttributes(path, &attributes);
  if (error == kErrFileNotFound || error == kErrPathNotFound || error == kErrInvalidName) {
    return SelectionState::kMissing;
  }
  if (error != kErrOk) return SelectionState::kUnknown;
  return (attributes & kAttrDirectory) != 0 ? SelectionState::kExists : SelectionState::kMissing;
}

bool SelectionExists(const std::string& entry) {
  return StateOfSelection(entry) == SelectionState::kExists;
}

namespace {

bool IsDotEntry(std::string_view name) {
  return name == "." || name == "..";
}

bool IsEnterableFolder(const ListedEntry& entry) {
  return (entry.attributes & kAttrDirectory) != 0 &&
         (entry.attributes & kAttrReparsePoint) == 0 && !IsDotEntry(entry.name);
}

bool IsFolderLink(const ListedEntry& entry) {
  return (entry.attributes & kAttrDirectory) != 0 &&
         (entry.attributes & kAttrReparsePoint) != 0 && !IsDotEntry(entry.name);
}

}  // namespace

size_t CommonPrefixLength(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

void StripPrefix(std::string* text, const std::string& prefix) {
  if (CommonPrefixLength(*text, prefix) == prefix.size()) text->erase(0, prefix.size());
}

std::string ComputeCommonRoot(const std::vector<STRING>& includes, const bool& aborted) {
  std::vector<std::string> texts;
  texts.reserve(includes.size());
  for (size_t i = 0; i < includes.size(); ++i) {
    // One pump step per entry after the first; an abort ends the comparison
    // with the entries compared so far.
    if (i > 0) {
      Sys().PumpStep();
      if (aborted) break;
    }
    // Only directory entries are ever scanned: any other text would cut
    // the root of the others short.
    if (IsDirectoryEntry(includes[i].text())) texts.push_back(includes[i].text());
  }
  return CommonLeadingFolder(texts);
}

void AddDestinationCounterparts(const TParameters& parameters, const Plan& plan,
                                std::vector<STRING>* list) {
  const size_t n = list->size();
  std::vector<std::string> twins;
  twins.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Sys().PumpStep();
    if (plan.Aborted) break;
    const std::string& entry = (*list)[i].text();
    if (IsDirectoryEntry(entry)) {
      twins.push_back(
          DestinationTwin(parameters.PathMode, plan.DestinationRoot, plan.CommonRoot, entry));
    }
  }
  for (std::string& twin : twins) {
    if (plan.Aborted) break;
    list->emplace_back(std::move(twin), 1);
  }
}

void DropMissingDirectories(const bool& aborted, std::vector<STRING>* list, DroppedEntries* dropped,
                            bool keep_unknown) {
  std::vector<SelectionState> states(list->size(), SelectionState::kExists);
  std::vector<char> drop(list->size(), 0);
  for (size_t i = list->size(); i-- > 0;) {
    Sys().PumpStep();
    if (aborted) break;
    states[i] = StateOfSelection((*list)[i].text());
    drop[i] = states[i] == SelectionState::kMissing ||
              (states[i] == SelectionState::kUnknown && !keep_unknown);
  }
  if (dropped) {
    for (size_t i = 0; i < list->size(); ++i) {
      if (states[i] == SelectionState::kMissing) dropped->missing.push_back((*list)[i].text());
      if (states[i] == SelectionState::kUnknown) dropped->unknown.push_back((*list)[i].text());
    }
  }
  EraseFlagged(list, drop);
}

int ExpandDirectory(const std::string& folder, std::vector<STRING>* list, uint8_t mark,
                    std::vector<FolderNote>* notes, FolderListings* listings) {
  // The subfolder search enumerates "*.*" with the mask 0x17, which yields
  // every entry: exactly what a listing holds.
  static_assert(kEveryEntryMask == 0x17);
  const std::shared_ptr<const FolderListing> listing =
      listings ? listings->Get(folder) : ReadFolderListing(folder);
  int count = 0;
  for (size_t i = 0; i < listing->size(); ++i) {
    const ListedEntry entry = listing->entry(i);
    if (IsEnterableFolder(entry)) {
      std::string path;
      path.reserve(folder.size() + entry.name.size() + 2);
      path.append(folder).append(entry.name).append("\\");
      path.push_back('*');
      list->emplace_back(std::move(path), mark);
      ++count;
    } else if (notes && IsFolderLink(entry)) {
      notes->push_back(
          {TOLVEX_REPORT_LINK_NOT_FOLLOWED, folder, folder + std::string(entry.name) + "\\"});
    } else if (notes && IsSymbolicLink(entry.attributes) && !IsDotEntry(entry.name)) {
      notes->push_back({kNoteLinkCopiedAsLink, folder, folder + std::string(entry.name) + "\\"});
    }
  }
  if (notes) {
    if (!listing->readable()) notes->push_back({TOLVEX_REPORT_UNREADABLE_FOLDER, folder, folder});
    for (const std::string& path : listing->unusable()) {
      notes->push_back({TOLVEX_REPORT_UNUSABLE_NAME, folder, path});
    }
  }
  return count;
}

void ExpandSelections(const bool& aborted, std::vector<STRING>* list, SearchProgressView* gauge,
                      std::vector<FolderNote>* notes, FolderListings* listings) {
  GaugeMover mover(gauge);
  int pass = 0;
  for (;;) {
    int found = 0;
    const size_t n = list->size();
    const int32_t count = static_cast<int32_t>(std::min<size_t>(n, INT32_MAX));
    for (size_t i = 0; i < n; ++i) {
      if (aborted) break;
      if (mover.active()) {
        mover.Move(Sys().MulDiv(static_cast<int32_t>(std::min<size_t>(i + 1, INT32_MAX)), 30,
                                count) + 30 * pass);
      }
      Sys().PumpStep();
      if (!EndsWithStar((*list)[i].text())) continue;
      // Copied out: ExpandDirectory appends to the list and may move it.
      std::string folder = (*list)[i].text();
      folder.pop_back();
      (*list)[i].SetText(folder);
      found += ExpandDirectory(folder, list, (*list)[i].mark(), notes, listings);
    }
    ++pass;
    if (found == 0 || aborted) break;
  }
  if (!mover.active()) return;
  // Fill the rest of the 0..300 range so the gauge ends full.
  for (int position = 30 * pass + 1; position <= 300 && !aborted; ++position) mover.Move(position);
}

void RemoveExcludedDirectories(const bool& aborted, std::vector<STRING>* includes,
                               const std::vector<STRING>& excludes) {
  // Folders compare as the file system names them, letter case ignored as
  // it ignores it: the exclusion "S:\data\Cache\*" names the folder
  // "S:\Data\cache\", which the include's expansion lists as stored (compared
  // byte for byte, it excluded nothing, and both ways with erasing orphans
  // the excluded files were erased). Hashed so that excluding a large tree
  // from a large tree stays linear.
  std::unordered_set<std::string> excluded;
  excluded.reserve(excludes.size());
  for (const STRING& entry : excludes) excluded.insert(NameCaseKey(entry.text()));
  std::vector<char> drop(includes->size(), 0);
  for (size_t i = includes->size(); i-- > 0;) {
    Sys().PumpStep();
    if (aborted) break;
    drop[i] = excluded.count(NameCaseKey((*includes)[i].text())) != 0;
  }
  EraseFlagged(includes, drop);
}

bool IsKnownPathMode(int32_t path_mode) {
  return path_mode >= TOLVEX_PATH_FLAT && path_mode <= TOLVEX_PATH_RELATIVE;
}

std::string MapCounterpartDirectory(const TParameters& parameters, const Plan& plan,
                                    const std::string& folder, uint8_t side) {
  switch (parameters.PathMode) {
    case TOLVEX_PATH_FLAT: return plan.DestinationRoot;
    case TOLVEX_PATH_FULL: {
      if (side == 0) return DestinationStem(plan) + DirectoryPart(folder);
      // Back to the drive of the include whose twin holds the folder: with
      // includes on two drives, the first one's drive would pair the other
      // drive's backup with folders nobody selected.
      std::vector<std::string> includes;
      for (const STRING& entry : parameters.DInclSels) includes.push_back(entry.text());
      const char drive = DriveOfTwinHolding(plan.DestinationRoot, includes, folder);
      if (drive == 0) return std::string();
      return std::string(1, drive) + ":" + Stripped(folder, DestinationStem(plan));
    }
    case TOLVEX_PATH_RELATIVE:
      if (side == 0) return plan.DestinationRoot + Stripped(folder, plan.CommonRoot);
      return plan.CommonRoot + Stripped(folder, plan.DestinationRoot);
    default:
      return std::string();
  }
}

}  // namespace tolvex
