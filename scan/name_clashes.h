// Name clashes of a flat run (path mode 0): every file goes straight into
// the one destination folder, so files of one name from different folders
// all pair with the one destination file of that name. Copied one after the
// other, each overwrites the one before, and every copy is logged as if it
// had stayed; over several runs the copies alternate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/plan.h"

namespace tolvex {

// One file a flat scan considered: whether or not it gave a candidate
// (equal and older pairs give none but still take part).
struct ScannedFile {
  int32_t dirIndex = 0;
  std::string name;  // as stored
  uint32_t stamp = 0;
  int64_t candidate = -1;  // index in candidates, -1 when none
};

// Of each name (letter case ignored as the file system ignores it:
// NameCaseKey) held by files of different folders, only the newest file is
// carried out; on a tie the first in folder order (dirList order). Every other one is reported in `findings`
// (kind TOLVEX_REPORT_NAME_CLASH) and its candidates get STATE_IGNORE with
// STATE_NAME_CLASH. A file met twice (two include patterns, a folder listed
// twice) is one file. Files of a name that are all to be erased (orphans)
// do not clash: each erasure takes only its own file.
void ResolveNameClashes(Plan& plan, const std::vector<ScannedFile>& files);

}  // namespace tolvex
