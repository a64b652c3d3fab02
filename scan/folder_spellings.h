// The spelling the file system holds for a folder that the scan built from
// the other side's names: a counterpart folder "T:\Backup\DATA\" built from
// "S:\DATA\" is "T:\Backup\Data\" when the backup holds it so. Plans, log
// lines and reports then name the folders that are there.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "model/records.h"

namespace tolvex {

class FolderSpellings {
 public:
  // The folders of `folders` (dirList: each listed from its parent, or a
  // selection as the job names it). With `exact` (the pairs tell letter
  // case apart) a folder is spelled only as it is: "T:\Backup\Sub\" is
  // another folder than "T:\Backup\sub\" there.
  FolderSpellings(const std::vector<STRING>& folders, bool exact);

  // The stored spelling of `folder` when one of the folders equals it,
  // ASCII letter case ignored; `folder` itself otherwise.
  std::string Of(const std::string& folder) const;

 private:
  std::unordered_map<std::string, std::string> by_upper_;
};

}  // namespace tolvex
