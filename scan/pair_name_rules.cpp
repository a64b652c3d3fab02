#include "scan/pair_name_rules.h"

#include "platform/folder_layout.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// "T:\Backup\New\" -> "T:\Backup\"; false for a drive root.
bool ParentFolder(std::string* folder) {
  if (folder->size() <= 3) return false;
  const size_t slash = folder->rfind('\\', folder->size() - 2);
  if (slash == std::string::npos) return false;
  folder->resize(slash + 1);
  return true;
}

// The rules of `folder`, or of the nearest folder above it that exists (a
// destination not made yet is made there). False when none answers.
bool RulesOfFolderOrParent(std::string folder, FolderNameRules* rules) {
  do {
    if (Sys().GetFolderNameRules(folder, rules) == kErrOk) return true;
  } while (ParentFolder(&folder));
  return false;
}

}  // namespace

bool PairsTellCaseApart(const TParameters& parameters, const Plan& plan) {
  FolderNameRules rules;
  if (!RulesOfFolderOrParent(plan.DestinationRoot, &rules) || !rules.tells_case_apart) return false;
  bool asked = false;
  for (const STRING& entry : parameters.DInclSels) {
    if (!IsDirectoryEntry(entry.text())) continue;
    // A missing selection is not scanned; it has no say.
    if (Sys().GetFolderNameRules(SelectionOf(entry.text()).folder, &rules) != kErrOk) continue;
    if (!rules.tells_case_apart) return false;
    asked = true;
  }
  return asked;
}

std::vector<std::string> ExactNameFolders(const TParameters& parameters, const Plan& plan) {
  std::vector<std::string> folders;
  if (!plan.namesTellCaseApart) return folders;
  for (const STRING& entry : parameters.DInclSels) {
    if (IsDirectoryEntry(entry.text())) folders.push_back(SelectionOf(entry.text()).folder);
  }
  folders.push_back(plan.DestinationRoot);
  return folders;
}

}  // namespace tolvex
