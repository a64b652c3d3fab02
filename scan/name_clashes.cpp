#include "scan/name_clashes.h"

#include <unordered_map>

#include "scan/pair_name_rules.h"

namespace tolvex {

namespace {

// One file of a name, with every candidate it gave.
struct ClashingFile {
  std::string path;  // dirList text + name
  int32_t dirIndex = 0;
  uint32_t stamp = 0;
  std::vector<int64_t> candidates;
};

// Newer wins; on a tie the folder that comes first.
bool Precedes(const ClashingFile& a, const ClashingFile& b) {
  if (a.stamp != b.stamp) return a.stamp > b.stamp;
  return a.dirIndex < b.dirIndex;
}

// Files of one name that are all to be erased write nothing: each erasure
// takes its own file, and none of them reaches the one destination file.
// (Held back to one a run, the others were erased one more in each later
// run, and no plan showed all it would erase.)
bool AllErased(const Plan& plan, const std::vector<ClashingFile>& of_name) {
  for (const ClashingFile& file : of_name) {
    if (file.candidates.empty()) return false;
    for (const int64_t index : file.candidates) {
      if ((plan.candidates[static_cast<size_t>(index)].state & STATE_ACTION) != STATE_ERASE)
        return false;
    }
  }
  return true;
}

}  // namespace

void ResolveNameClashes(Plan& plan, const std::vector<ScannedFile>& files) {
  // Names in the order first met, each with its files in the order met.
  std::vector<std::vector<ClashingFile>> names;
  std::unordered_map<std::string, size_t> name_index;
  std::unordered_map<std::string, std::pair<size_t, size_t>> file_index;
  for (const ScannedFile& file : files) {
    const std::string path = plan.dirList[file.dirIndex].text() + file.name;
    const std::string folded_path = PairNameKey(plan, path);
    auto known = file_index.find(folded_path);
    if (known == file_index.end()) {
      const auto [slot, added] = name_index.emplace(PairNameKey(plan, file.name), names.size());
      if (added) names.emplace_back();
      std::vector<ClashingFile>& of_name = names[slot->second];
      of_name.push_back(ClashingFile{path, file.dirIndex, file.stamp, {}});
      known = file_index.emplace(folded_path, std::make_pair(slot->second, of_name.size() - 1)).first;
    }
    if (file.candidate >= 0) {
      names[known->second.first][known->second.second].candidates.push_back(file.candidate);
    }
  }
  for (const std::vector<ClashingFile>& of_name : names) {
    if (of_name.size() < 2 || AllErased(plan, of_name)) continue;
    size_t winner = 0;
    for (size_t k = 1; k < of_name.size(); ++k) {
      if (Precedes(of_name[k], of_name[winner])) winner = k;
    }
    for (size_t k = 0; k < of_name.size(); ++k) {
      if (k == winner) continue;
      plan.findings.push_back(FINDING{TOLVEX_REPORT_NAME_CLASH, of_name[k].path});
      for (const int64_t index : of_name[k].candidates) {
        CANDIDATE& c = plan.candidates[static_cast<size_t>(index)];
        c.state = ReplaceAction(c.state, STATE_IGNORE) | STATE_NAME_CLASH;
      }
    }
  }
}

}  // namespace tolvex
