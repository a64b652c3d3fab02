// What a run (or a plan) did, from the items of the engine's channels: the
// command's end-of-run summary and its exit status 4, the plan's summary,
// and the erase guard's message. Nothing here reads the log.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "frontend/item_record.h"

namespace tolvex::frontend {

struct FileCount {
  uint64_t files = 0;
  uint64_t bytes = 0;
  void Add(uint64_t size) {
    ++files;
    bytes += size;
  }
};

struct RunSummary {
  bool planned = false;       // a dry run's plan, not a run's outcomes
  FileCount copied[2];        // by the tree written: 0 source, 1 destination
  FileCount erased[2];        // by the tree erased from
  FileCount modes_set[2];     // by the tree whose files got their mode (no bytes)
  std::map<int32_t, uint64_t> skipped;  // by TOLVEX_REASON_*
  std::vector<ItemRecord> failed;       // copies and erasures that failed for good
  std::vector<ItemRecord> newer_wins;   // copies over a file changed since the last run
  // Symbolic links copied as links, by what they lead to: a file, a
  // folder, nothing (TOLVEX_ITEM_LINK_*, in this order).
  uint64_t links_copied[3] = {0, 0, 0};
  std::map<int32_t, std::vector<std::string>> found;  // by TOLVEX_REPORT_*: paths
  std::vector<std::string> open_conflicts;  // conflicts neither file of which was carried out
  std::vector<ItemRecord> renames;     // the generation rotation
  std::string generation_folder;
  uint64_t folders_removed = 0;
  uint64_t folders_made = 0;  // EmptyFolders: folders made that held no copied file
  uint64_t equal_pairs = 0;
  uint64_t older_pairs = 0;
  std::vector<ItemRecord> space;       // per drive
  std::vector<ItemRecord> sides;       // erase figures per side
  bool over_erase_limit = false;
  bool confirmed_over_limit = false;   // the overview showed the warning, OK was pressed

  // Anything selected that was not backed up or was left in conflict: the
  // reasons for exit status 4, as "1 copy failed", "2 case twins".
  std::vector<std::string> LeftOut() const;
};

// The summary of a plan's items (planned = true) or of a run's outcomes;
// `plan` holds what the plan channel sent, `outcomes` the outcome channel.
RunSummary Summarize(const std::vector<ItemRecord>& plan, const std::vector<ItemRecord>& outcomes,
                     bool planned);

// Text lines for people; JSON for the machine (one object).
void PrintSummary(const RunSummary& summary, const ItemStyle& style, std::ostream& out);
std::string SummaryJson(const RunSummary& summary, const ItemStyle& style);
// The problems, one line each ("tolvex: ..."), for standard error.
void PrintProblems(const RunSummary& summary, const ItemStyle& style, std::ostream& err);

// Why the erase guard stops a run ("the plan erases 20 of the 20 files in
// the destination tree (/mnt/backup/), more than MaxErase (10 and 50%)
// allows. ..."): the counts and folders of each side over the limit, and
// the renames of a rotation already made. `sources` are the job's source
// folders (native), `limit` the job's MaxErase as written.
std::string EraseLimitMessage(const RunSummary& summary, const std::vector<std::string>& sources,
                              const ItemStyle& style, const std::string& limit);

}  // namespace tolvex::frontend
