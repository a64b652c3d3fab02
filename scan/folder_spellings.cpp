#include "scan/folder_spellings.h"

#include "platform/text_rules.h"

namespace tolvex {

FolderSpellings::FolderSpellings(const std::vector<STRING>& folders, bool exact) {
  if (exact) return;
  by_upper_.reserve(folders.size());
  for (const STRING& folder : folders) by_upper_.emplace(AsciiUpperText(folder.text()), folder.text());
}

std::string FolderSpellings::Of(const std::string& folder) const {
  if (by_upper_.empty()) return folder;
  const auto found = by_upper_.find(AsciiUpperText(folder));
  return found == by_upper_.end() ? folder : found->second;
}

}  // namespace tolvex
