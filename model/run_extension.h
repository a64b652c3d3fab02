// The settings of the library's extension (the exports from ordinal 46 on):
// the plan and outcome channels, the dry run and the erase limit. Like the
// parameter set they live from loading to unloading and keep their values
// across runs; with none set, a run is exactly a run of the 45 exports.
#pragma once

#include <cstdint>
#include <string>

#include "include/tolvex32.h"

namespace tolvex {

struct TExtension {
  TPlanProc planProc = nullptr;
  TOutcomeProc outcomeProc = nullptr;
  int32_t dryRun = TOLVEX_DRY_RUN_OFF;  // TOLVEX_DRY_RUN_*
  // The erase guard: a side is over it when the plan erases more than
  // eraseLimitCount of its files and more than eraseLimitPercent per cent
  // of the files present there. A count below 0: no guard.
  int32_t eraseLimitCount = -1;
  int32_t eraseLimitPercent = 0;
  // The sync state file of two-way runs (drive form); empty: none.
  std::string syncStatePath;
  // SetEmptyFolders: the folders of the selection are mirrored, empty ones
  // too (engine/folder_fates.cpp).
  bool emptyFolders = false;
  // Generations share unchanged files (SetShareUnchanged): a file copied
  // into Grandson that equals its version in Son is linked to it.
  bool shareUnchanged = false;

  bool DryRun() const { return dryRun == TOLVEX_DRY_RUN_PLAN || dryRun == TOLVEX_DRY_RUN_LIST_ALL; }
  bool ListsUnchangedPairs() const { return dryRun == TOLVEX_DRY_RUN_LIST_ALL; }
  bool GuardsErasures() const { return eraseLimitCount >= 0; }
};

extern TExtension Extension;

}  // namespace tolvex
