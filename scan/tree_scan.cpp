#include "scan/tree_scan.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "engine/parameters.h"
#include "model/program_state.h"
#include "platform/platform.h"
#include "scan/decide.h"
#include "scan/selections.h"

namespace tolvex {

namespace {

constexpr char kFolderStatus[] = "Searching for subdirectories...";
constexpr char kFileStatus[] = "Searching for files...";
constexpr int kFolderGaugeMaximum = 300;

// Collects unusable names once each, in the order met.
class UnusableNameSink {
 public:
  explicit UnusableNameSink(std::vector<std::string>* out) : out_(out) {}
  bool wanted() const { return out_ != nullptr; }
  void Add(const std::string& native_path) {
    if (out_ != nullptr && seen_.insert(native_path).second) out_->push_back(native_path);
  }

 private:
  std::vector<std::string>* out_;
  std::unordered_set<std::string> seen_;
};

void ShowPhase(SearchProgressView* progress, const char* status, int maximum) {
  if (progress == nullptr) return;
  progress->SetStatusText(status);
  progress->SetGaugeRange(0, maximum);
  progress->SetGaugePosition(0);
}

// A path mode and a destination the counterparts can be built from.
bool CanPairFolders(const TParameters& parameters) {
  const std::string& root = parameters.DestinationRoot;
  return IsKnownPathMode(parameters.PathMode) && IsDirectoryEntry(root) && root.back() == '\\';
}

// Only the subfolders the scan will visit matter: a name in a folder that
// was excluded afterwards is no loss.
void KeepUnusableOfVisitedFolders(const std::vector<UnusableName>& found, UnusableNameSink* sink) {
  if (found.empty()) return;
  std::unordered_set<std::string> visited;
  for (const STRING& entry : dirList) visited.insert(entry.text());
  for (const UnusableName& name : found) {
    if (visited.count(name.folder) != 0) sink->Add(name.native_path);
  }
}

// Fills dirList with the folders to visit, sorted. False when aborted.
bool ScanFolders(SearchProgressView* progress, UnusableNameSink* sink) {
  ShowPhase(progress, kFolderStatus, kFolderGaugeMaximum);
  TParameters& parameters = Parameters;
  // Every selection lies on the source side until twins are added.
  dirList.clear();
  for (const STRING& entry : parameters.DInclSels) dirList.emplace_back(entry.text(), 0);
  std::vector<STRING> excludes;
  for (const STRING& entry : parameters.DExclSels) excludes.emplace_back(entry.text(), 0);
  if (!CanPairFolders(parameters)) {
    dirList.clear();
    return true;
  }
  if (parameters.PathMode == 2) parameters.CommonRoot = ComputeCommonRoot(dirList);
  if (Aborted) return false;
  if (parameters.PathMode != 0) {
    AddDestinationCounterparts(parameters, &dirList);
    if (Aborted) return false;
    AddDestinationCounterparts(parameters, &excludes);
    if (Aborted) return false;
  }
  DropMissingDirectories(&dirList);
  if (Aborted) return false;
  DropMissingDirectories(&excludes);
  if (Aborted) return false;
  std::vector<UnusableName> unusable;
  ExpandSelections(&dirList, progress, sink->wanted() ? &unusable : nullptr);
  if (Aborted) return false;
  ExpandSelections(&excludes, nullptr);
  if (Aborted) return false;
  RemoveExcludedDirectories(&dirList, excludes);
  if (Aborted) return false;
  std::sort(dirList.begin(), dirList.end());
  KeepUnusableOfVisitedFolders(unusable, sink);
  return true;
}

// Folders are never files, whatever the attribute mask lets through: with a
// mask holding 0x10 (or a hidden folder under a mask holding 0x02) a listing
// yields folders, "." and ".." included, and none of them may be copied,
// compared or erased as a file. The volume-label bit is treated alike.
bool IsFolderEntry(const FindEntry& entry) {
  return (entry.attributes & (kAttrDirectory | kAttrVolume)) != 0;
}

struct Counterpart {
  bool present = false;
  uint64_t size = 0;
  uint32_t stamp = 0;
  uint32_t attributes = 0;
};

// Looks up the same-named file in a counterpart folder with the scan's mask.
class CounterpartFinder {
 public:
  explicit CounterpartFinder(uint32_t mask) : mask_(mask) {}

  Counterpart Find(const std::string& folder, const std::string& file_name) {
    entries_.clear();
    Sys().FindEntries(folder + file_name, mask_, &entries_, nullptr);
    Counterpart found;
    for (const FindEntry& entry : entries_) {
      if (IsFolderEntry(entry)) continue;
      found.present = true;
      found.size = entry.size;
      found.stamp = entry.stamp;
      found.attributes = entry.attributes;
      break;
    }
    return found;
  }

 private:
  uint32_t mask_;
  std::vector<FindEntry> entries_;
};

// Everything one folder's file scan needs besides the folder itself.
struct FolderScan {
  int32_t index = 0;
  const STRING* folder = nullptr;
  const std::string* counterpart_folder = nullptr;
  uint32_t mask = 0;
  std::unordered_set<std::string> excluded;
  CounterpartFinder* finder = nullptr;
  UnusableNameSink* sink = nullptr;
};

// The names the file exclude patterns match in the folder. False when aborted.
bool CollectExcludedNames(FolderScan* scan) {
  std::vector<FindEntry> entries;
  for (const STRING& pattern : Parameters.FExclSels) {
    Sys().PumpStep();
    if (Aborted) return false;
    entries.clear();
    Sys().FindEntries(scan->folder->text() + pattern.text(), scan->mask, &entries, nullptr);
    for (FindEntry& entry : entries) scan->excluded.insert(std::move(entry.name));
  }
  return true;
}

void SplitName(const std::string& file_name, std::string* name, std::string* extension) {
  const size_t dot = file_name.rfind('.');
  if (dot == std::string::npos) {
    *name = file_name;
    extension->clear();
    return;
  }
  *name = file_name.substr(0, dot);
  *extension = file_name.substr(dot);
}

void ConsiderFile(const FolderScan& scan, const FindEntry& entry) {
  if (IsFolderEntry(entry)) return;
  if (scan.excluded.count(entry.name) != 0) return;
  if (entry.stamp < Parameters.LeastDate) return;
  const Counterpart counterpart = scan.finder->Find(*scan.counterpart_folder, entry.name);
  DecisionInput input;
  input.side = scan.folder->mark();
  input.stamp = entry.stamp;
  input.size = entry.size;
  input.counterpart_present = counterpart.present;
  input.counter_stamp = counterpart.stamp;
  input.counter_size = counterpart.size;
  uint16_t state = 0;
  if (!DecideCandidate(Parameters, input, &state)) return;
  std::string name;
  std::string extension;
  SplitName(entry.name, &name, &extension);
  candidates.emplace_back(std::move(name), std::move(extension), scan.index, entry.size,
                          counterpart.size, entry.stamp, counterpart.stamp, entry.attributes,
                          counterpart.attributes, state);
}

// Examines the files of one folder, include pattern by include pattern.
void ScanFolderFiles(FolderScan* scan) {
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
  for (const STRING& pattern : Parameters.FInclSels) {
    Sys().PumpStep();
    if (Aborted) return;
    entries.clear();
    unusable.clear();
    Sys().FindEntries(scan->folder->text() + pattern.text(), scan->mask, &entries,
                      scan->sink->wanted() ? &unusable : nullptr);
    for (const std::string& path : unusable) scan->sink->Add(path);
    for (const FindEntry& entry : entries) ConsiderFile(*scan, entry);
  }
}

void ScanFiles(SearchProgressView* progress, UnusableNameSink* sink) {
  const size_t count = dirList.size();
  ShowPhase(progress, kFileStatus, static_cast<int>(std::min<size_t>(count, INT_MAX)));
  CounterpartFinder finder(Parameters.Attributes);
  for (size_t i = 0; i < count; ++i) {
    Sys().PumpStep();
    if (Aborted) return;
    if (progress) progress->SetGaugePosition(static_cast<int>(std::min<size_t>(i + 1, INT_MAX)));
    const STRING& folder = dirList[i];
    counterpartList.emplace_back(MapCounterpartDirectory(Parameters, folder.text(), folder.mark()),
                                 folder.mark() == 0 ? 1 : 0);
    FolderScan scan;
    scan.index = static_cast<int32_t>(i);
    scan.folder = &folder;
    scan.counterpart_folder = &counterpartList.back().text();
    scan.mask = Parameters.Attributes;
    scan.finder = &finder;
    scan.sink = sink;
    if (!CollectExcludedNames(&scan)) return;
    ScanFolderFiles(&scan);
  }
}

}  // namespace

void ScanTrees(SearchProgressView* progress, std::vector<std::string>* unusable_names) {
  UnusableNameSink sink(unusable_names);
  if (!ScanFolders(progress, &sink)) return;
  ScanFiles(progress, &sink);
}

}  // namespace tolvex
