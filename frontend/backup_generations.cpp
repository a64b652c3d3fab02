#include "frontend/backup_generations.h"

#include <algorithm>
#include <cctype>

#include "frontend/job_state.h"
#include "frontend/value_forms.h"
#include "include/tolvex32.h"
#include "platform/folder_layout.h"
#include "platform/platform.h"
#include "platform/text_rules.h"

namespace tolvex::frontend {

namespace {

constexpr uint32_t kEveryEntry = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory;

bool IsDot(const std::string& name) { return name == "." || name == ".."; }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareAsciiCaseless(a, b) == 0;
}

// "A" followed by six digits: a dated folder (month, day, two-digit year).
bool IsDatedName(const std::string& name) {
  if (name.size() != 7 || (name[0] != 'A' && name[0] != 'a')) return false;
  return std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The dated folder's date as YYMMDD-comparable number (years from 1900 on,
// as the folder names them).
int DatedKey(const std::string& name) {
  const int month = std::stoi(name.substr(1, 2));
  const int day = std::stoi(name.substr(3, 2));
  const int year = std::stoi(name.substr(5, 2));
  return (year < 80 ? year + 100 : year) * 10000 + month * 100 + day;
}

// The names of the folders the job's VaryMode writes into that exist below
// Destination, in the order of their kind (newest first where the names
// tell it).
std::vector<std::string> FolderNames(const Job& job, const std::string& destination) {
  const int32_t vary_mode = static_cast<int32_t>(job.Get("VaryMode").number);
  if (vary_mode == TOLVEX_VARY_NONE) return {""};
  std::vector<std::string> candidates;
  switch (vary_mode) {
    case TOLVEX_VARY_GENERATIONS: candidates = {kGrandsonFolder, kSonFolder, kFatherFolder}; break;
    case TOLVEX_VARY_ODD_EVEN: candidates = {"Odd", "Even"}; break;
    case TOLVEX_VARY_WEEKDAY:
      for (int day = 0; day < 7; ++day) candidates.push_back(WeekdayName(day));
      if (job.Get("Weekday").line != 0) candidates.push_back(job.Get("Weekday").text);
      break;
    case TOLVEX_VARY_DATED: {
      std::vector<FindEntry> entries;
      Sys().FindEntries(destination + "A*", kEveryEntry, &entries, nullptr);
      for (const FindEntry& entry : entries) {
        if ((entry.attributes & kAttrDirectory) && IsDatedName(entry.name)) {
          candidates.push_back(entry.name);
        }
      }
      std::sort(candidates.begin(), candidates.end(), [](const std::string& a, const std::string& b) {
        return DatedKey(a) > DatedKey(b);
      });
      break;
    }
    default: break;
  }
  std::vector<std::string> names;
  for (const std::string& name : candidates) {
    if (std::find_if(names.begin(), names.end(),
                     [&](const std::string& known) { return SameName(known, name); }) != names.end()) {
      continue;
    }
    uint32_t attributes = 0;
    if (Sys().GetAttributes(destination + name, &attributes) == kErrOk &&
        (attributes & kAttrDirectory) != 0) {
      names.push_back(name);
    }
  }
  return names;
}

void AddFigures(const std::string& folder, TreeFigures* figures) {
  std::vector<FindEntry> entries;
  Sys().FindEntries(folder + "*.*", kEveryEntry, &entries, nullptr);
  for (const FindEntry& entry : entries) {
    if (IsDot(entry.name)) continue;
    if (entry.attributes & kAttrDirectory) {
      AddFigures(folder + entry.name + '\\', figures);
    } else if ((entry.attributes & kAttrDevice) == 0) {
      ++figures->files;
      figures->bytes += entry.size;
      figures->newest = std::max(figures->newest, entry.stamp);
    }
  }
}

}  // namespace

std::string ShownName(const Generation& generation) {
  return generation.name.empty() ? "Destination" : generation.name;
}

TreeFigures FiguresOf(const std::string& folder) {
  TreeFigures figures;
  AddFigures(folder, &figures);
  return figures;
}

std::vector<Generation> GenerationsOf(const Job& job) {
  const std::string destination = DestinationFolder(job.Get("Destination").text);
  const GenerationTimes times = ReadGenerationTimes(StatePathOf(job.path));
  std::vector<Generation> generations;
  for (const std::string& name : FolderNames(job, destination)) {
    Generation generation;
    generation.name = name;
    generation.folder = name.empty() ? destination : destination + name + '\\';
    for (const auto& [recorded, stamp] : times) {
      if (SameName(recorded, name)) generation.completed = stamp;
    }
    generations.push_back(generation);
  }
  const int32_t vary_mode = static_cast<int32_t>(job.Get("VaryMode").number);
  const bool order_by_name = vary_mode == TOLVEX_VARY_GENERATIONS || vary_mode == TOLVEX_VARY_DATED;
  std::vector<uint32_t> newest(generations.size(), 0);
  if (!order_by_name) {
    for (size_t i = 0; i < generations.size(); ++i) newest[i] = FiguresOf(generations[i].folder).newest;
  }
  std::vector<size_t> order(generations.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Generation& x = generations[a];
    const Generation& y = generations[b];
    if (x.completed.has_value() != y.completed.has_value()) return x.completed.has_value();
    if (x.completed && *x.completed != *y.completed) return *x.completed > *y.completed;
    if (order_by_name) return false;  // the order of FolderNames
    return newest[a] > newest[b];
  });
  std::vector<Generation> sorted;
  for (size_t i : order) sorted.push_back(generations[i]);
  return sorted;
}

std::optional<std::string> PathInGeneration(const Job& job, const std::string& source_path,
                                            bool is_folder, const std::string& generation,
                                            std::string* error) {
  const int32_t path_mode = static_cast<int32_t>(job.Get("PathMode").number);
  const size_t cut = source_path.find_last_of('\\');
  const std::string parent = source_path.substr(0, cut + 1);
  const std::string name = source_path.substr(cut + 1);
  if (path_mode == TOLVEX_PATH_FLAT) {
    if (is_folder) {
      *error = "the job's PathMode flat keeps no folders: restore the files by name";
      return std::nullopt;
    }
  }
  std::vector<std::string> directories;
  for (const std::string& include : job.lists[kDIncl]) {
    if (IsDirectoryEntry(include)) directories.push_back(include);
  }
  const std::string common_root = CommonLeadingFolder(directories);
  // The include that holds the path itself (a folder of a subtree
  // selection, or the folder a file lies in); the deepest wins, as the scan
  // pairs a folder with the first include that names it.
  const std::string* holder = nullptr;
  for (const std::string& include : directories) {
    const FolderSelection selection = SelectionOf(include);
    const bool holds = SelectionHolds(selection, parent) ||
                       (is_folder && selection.subtree && SelectionHolds(selection, source_path + '\\'));
    if (holds && (holder == nullptr || include.size() > holder->size())) holder = &include;
  }
  if (holder == nullptr) {
    *error = "no folder selection of the job ([DInclSels]) holds it";
    return std::nullopt;
  }
  if (path_mode == TOLVEX_PATH_FLAT) return generation + name;
  const FolderSelection selection = SelectionOf(*holder);
  const std::string twin = SelectionOf(DestinationTwin(path_mode, generation, common_root, *holder)).folder;
  // The include's folder itself (no closing backslash) has nothing below it.
  const std::string below =
      source_path.size() > selection.folder.size() ? source_path.substr(selection.folder.size()) : "";
  std::string path = twin + below;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

Entry EntryAt(const std::string& path) {
  Entry entry;
  uint32_t attributes = 0;
  if (Sys().GetAttributes(path, &attributes) != kErrOk) return entry;
  entry.exists = true;
  entry.is_folder = (attributes & kAttrDirectory) != 0;
  if (entry.is_folder) {
    entry.figures = FiguresOf(path + '\\');
    return entry;
  }
  const size_t cut = path.find_last_of('\\');
  std::vector<FindEntry> found;
  Sys().FindEntries(path, kEveryEntry, &found, nullptr);
  for (const FindEntry& each : found) {
    if (SameName(each.name, path.substr(cut + 1))) {
      entry.size = each.size;
      entry.stamp = each.stamp;
    }
  }
  return entry;
}

std::optional<Generation> ChooseGeneration(const std::vector<Generation>& generations,
                                           const std::string& wanted) {
  for (const Generation& generation : generations) {
    if (SameName(ShownName(generation), wanted)) return generation;
  }
  if (wanted.size() != 10 || wanted[4] != '-' || wanted[7] != '-') return std::nullopt;
  const auto end_of_day = ParseDate(wanted + " 23:59:59");
  if (!end_of_day) return std::nullopt;
  for (const Generation& generation : generations) {  // newest first
    if (generation.completed && *generation.completed <= *end_of_day) return generation;
  }
  return std::nullopt;
}

}  // namespace tolvex::frontend
