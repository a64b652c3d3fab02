#include "platform/folder_layout.h"

#include <algorithm>
#include <string_view>

#include "include/tolvex32.h"
#include "platform/name_case.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

bool EndsWithStar(const std::string& text) { return !text.empty() && text.back() == '*'; }

bool StartsWithCaseless(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         CompareAsciiCaseless(std::string_view(text).substr(0, prefix.size()), prefix) == 0;
}

char DriveOf(const std::string& entry) {
  return static_cast<char>(AsciiUpper(static_cast<unsigned char>(entry[0])));
}

// The entries a scan can pair with counterparts; the others it drops.
std::vector<std::string> DirectoryEntries(const std::vector<std::string>& includes) {
  std::vector<std::string> entries;
  for (const std::string& include : includes) {
    if (IsDirectoryEntry(include)) entries.push_back(include);
  }
  return entries;
}

// "A" followed by month, day and two-digit year.
std::string DatedFolderName(const LocalTime& today) {
  return "A" + TwoDigits(today.month) + TwoDigits(today.day) + TwoDigits(today.year - 1900);
}

}  // namespace

std::string DestinationFolder(const std::string& destination) {
  if (destination.empty() || destination.back() == '\\' || destination.back() == '/') {
    return destination;
  }
  return destination + '\\';
}

std::optional<std::string> WorkingDestinationFolder(int32_t vary_mode,
                                                    const std::string& destination,
                                                    const std::string& weekday,
                                                    const LocalTime& today) {
  const std::string prefix = DestinationFolder(destination);
  switch (vary_mode) {
    case TOLVEX_VARY_NONE: return prefix;
    case TOLVEX_VARY_DATED: return prefix + DatedFolderName(today) + '\\';
    case TOLVEX_VARY_WEEKDAY: return prefix + weekday + '\\';
    case TOLVEX_VARY_ODD_EVEN: return prefix + (today.day % 2 != 0 ? "Odd" : "Even") + '\\';
    case TOLVEX_VARY_GENERATIONS: return prefix + kGrandsonFolder + '\\';
    default: return std::nullopt;
  }
}

bool IsDirectoryEntry(const std::string& text) {
  if (text.size() < 3 || text[1] != ':' || text[2] != '\\') return false;
  const unsigned char letter = static_cast<unsigned char>(text[0]);
  if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) return false;
  const size_t end = EndsWithStar(text) ? text.size() - 1 : text.size();
  if (text[end - 1] != '\\') return false;
  // No "." or ".." between separators (the platform takes '/' as one too):
  // a twin or counterpart built from the text would lead out of its folder.
  size_t start = 3;
  for (size_t at = 3; at < end; ++at) {
    if (text[at] != '\\' && text[at] != '/') continue;
    const std::string_view name(text.data() + start, at - start);
    if (name == "." || name == "..") return false;
    start = at + 1;
  }
  return true;
}

FolderSelection SelectionOf(const std::string& entry) {
  FolderSelection selection;
  selection.subtree = EndsWithStar(entry);
  selection.folder = selection.subtree ? entry.substr(0, entry.size() - 1) : entry;
  return selection;
}

bool SelectionHolds(const FolderSelection& selection, const std::string& folder) {
  if (selection.subtree) return StartsWithCaseless(folder, selection.folder);
  return CompareAsciiCaseless(folder, selection.folder) == 0;
}

std::string DirectoryPart(const std::string& entry) {
  const size_t last = entry.rfind('\\');
  if (last == std::string::npos || last < 2) return std::string();
  return entry.substr(2, last - 1);
}

std::string CommonLeadingFolder(const std::vector<std::string>& entries) {
  if (entries.empty()) return std::string();
  const std::string& first = entries[0];
  size_t length = first.size();
  for (size_t i = 1; i < entries.size(); ++i) {
    const std::string& other = entries[i];
    const size_t n = std::min(length, other.size());
    size_t equal = 0;
    while (equal < n && first[equal] == other[equal]) ++equal;
    length = equal;
  }
  std::string root = first.substr(0, length);
  if (EndsWithStar(root)) root.pop_back();
  const size_t last = root.rfind('\\');
  // Leading bytes without a backslash name no folder.
  if (last == std::string::npos) return std::string();
  root.resize(last + 1);
  return root;
}

std::string DestinationTwin(int32_t path_mode, const std::string& destination_root,
                            const std::string& common_root, const std::string& entry) {
  const std::string directory = DirectoryPart(entry);
  std::string twin;
  if (path_mode == TOLVEX_PATH_FULL) {
    twin = destination_root.substr(0, destination_root.empty() ? 0 : destination_root.size() - 1) +
           directory;
  } else {
    std::string relative = entry.substr(0, 2) + directory;
    if (relative.compare(0, common_root.size(), common_root) == 0) {
      relative.erase(0, common_root.size());
    }
    twin = destination_root + relative;
  }
  if (EndsWithStar(entry)) twin += '*';
  return twin;
}

std::optional<LayoutFault> FindDrivesMeeting(int32_t path_mode, const std::string& destination_root,
                                             const std::vector<std::string>& includes) {
  const std::vector<std::string> entries = DirectoryEntries(includes);
  if (path_mode == TOLVEX_PATH_RELATIVE) {
    if (!entries.empty() && CommonLeadingFolder(entries).empty()) {
      return LayoutFault{destination_root, entries.back()};
    }
    return std::nullopt;
  }
  if (path_mode != TOLVEX_PATH_FULL) return std::nullopt;
  for (size_t i = 0; i < entries.size(); ++i) {
    const FolderSelection twin =
        SelectionOf(DestinationTwin(path_mode, destination_root, "", entries[i]));
    for (size_t j = i + 1; j < entries.size(); ++j) {
      if (DriveOf(entries[i]) == DriveOf(entries[j])) continue;
      const FolderSelection other =
          SelectionOf(DestinationTwin(path_mode, destination_root, "", entries[j]));
      if (SelectionHolds(twin, other.folder) || SelectionHolds(other, twin.folder)) {
        return LayoutFault{twin.folder, entries[j]};
      }
    }
  }
  return std::nullopt;
}

namespace {

// The folders of a selection meet the other's: one holds the other's folder.
// `key` gives the text the folders are compared by.
template <typename Key>
bool SelectionsMeet(const FolderSelection& a, const FolderSelection& b, Key key) {
  const auto holds = [&key](const FolderSelection& selection, const std::string& folder) {
    const std::string outer = key(selection.folder);
    const std::string inner = key(folder);
    return selection.subtree ? inner.compare(0, outer.size(), outer) == 0 : inner == outer;
  };
  return holds(a, b.folder) || holds(b, a.folder);
}

}  // namespace

std::optional<LayoutFault> FindIncludesApartOnlyByCase(int32_t path_mode,
                                                       const std::string& destination_root,
                                                       const std::vector<std::string>& includes) {
  if (path_mode != TOLVEX_PATH_FULL && path_mode != TOLVEX_PATH_RELATIVE) return std::nullopt;
  const std::vector<std::string> entries = DirectoryEntries(includes);
  const std::string common_root =
      path_mode == TOLVEX_PATH_RELATIVE ? CommonLeadingFolder(entries) : std::string();
  std::vector<FolderSelection> twins;
  twins.reserve(entries.size());
  for (const std::string& entry : entries) {
    twins.push_back(SelectionOf(DestinationTwin(path_mode, destination_root, common_root, entry)));
  }
  const auto exact = [](const std::string& folder) { return folder; };
  const auto folded = [](const std::string& folder) { return NameCaseKey(folder); };
  for (size_t i = 0; i < twins.size(); ++i) {
    for (size_t j = i + 1; j < twins.size(); ++j) {
      if (SelectionsMeet(twins[i], twins[j], folded) && !SelectionsMeet(twins[i], twins[j], exact)) {
        return LayoutFault{twins[i].folder, entries[j]};
      }
    }
  }
  return std::nullopt;
}

char DriveOfTwinHolding(const std::string& destination_root,
                        const std::vector<std::string>& includes, const std::string& folder) {
  for (const std::string& include : DirectoryEntries(includes)) {
    const std::string twin = DestinationTwin(TOLVEX_PATH_FULL, destination_root, "", include);
    if (SelectionHolds(SelectionOf(twin), folder)) return DriveOf(include);
  }
  return 0;
}

std::optional<LayoutFault> FindDestinationOverSource(int32_t path_mode,
                                                     const std::string& destination_root,
                                                     const std::vector<std::string>& includes) {
  if (path_mode < TOLVEX_PATH_FLAT || path_mode > TOLVEX_PATH_RELATIVE) return std::nullopt;
  const std::vector<std::string> entries = DirectoryEntries(includes);
  const std::string common_root =
      path_mode == TOLVEX_PATH_RELATIVE ? CommonLeadingFolder(entries) : std::string();
  for (const std::string& include : entries) {
    const std::string twin = DestinationTwin(path_mode, destination_root, common_root, include);
    for (const std::string& source : entries) {
      const std::string source_folder = SelectionOf(source).folder;
      // In path mode 0 no destination folder is scanned, but every file is
      // written straight into the destination root. In the other modes a
      // scanned folder holds a source folder at any depth, whether or not
      // the scan goes below it: the files around the source folder are then
      // taken for the destination's.
      const bool faulty = path_mode == TOLVEX_PATH_FLAT
                              ? CompareAsciiCaseless(destination_root, source_folder) == 0
                              : StartsWithCaseless(source_folder, SelectionOf(twin).folder);
      if (faulty) return LayoutFault{path_mode == TOLVEX_PATH_FLAT ? destination_root : twin, source};
    }
  }
  return std::nullopt;
}

}  // namespace tolvex
