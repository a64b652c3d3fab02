// The backups a job keeps: the folders its VaryMode writes into below
// Destination (Grandson, Son, Father; the dated, weekday and odd/even
// folders; Destination itself), the time a run last completed into each,
// and where a file of the sources lies in each of them. "tolvex list" and
// "tolvex restore" read them; nothing here writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontend/job.h"

namespace tolvex::frontend {

struct Generation {
  std::string name;    // "Grandson", "A121026", "Monday", "Odd"; "" for Destination itself
  std::string folder;  // drive form, with its closing backslash
  std::optional<uint32_t> completed;  // the run that last completed into it (packed, local)
};

// The job's generation folders that exist, newest first: by the time a run
// last completed into each (the state file), then, for folders without one,
// Grandson before Son before Father, a later dated folder before an earlier
// one, and otherwise the folder whose newest file is newer.
std::vector<Generation> GenerationsOf(const Job& job);

// Files and bytes below a folder (drive form, closing backslash), and the
// newest file's stamp (0 without files).
struct TreeFigures {
  uint64_t files = 0;
  uint64_t bytes = 0;
  uint32_t newest = 0;
};
TreeFigures FiguresOf(const std::string& folder);

// A file or folder of the sources (drive form, no closing backslash) as it
// lies in the generation folder `generation` (drive form, closing
// backslash), by the job's PathMode and selections; nothing when no folder
// selection of the job holds it, or, in the flat PathMode, for a folder.
// `error` then says why.
std::optional<std::string> PathInGeneration(const Job& job, const std::string& source_path,
                                            bool is_folder, const std::string& generation,
                                            std::string* error);

// What lies at a drive-form path: nothing, a file (size and stamp) or a
// folder (its figures).
struct Entry {
  bool exists = false;
  bool is_folder = false;
  uint64_t size = 0;
  uint32_t stamp = 0;
  TreeFigures figures;
};
Entry EntryAt(const std::string& path);

// The generation `wanted` names: a folder name as "tolvex list" shows it
// (letter case aside), or a date "YYYY-MM-DD" (the newest generation a run
// completed into by the end of that day). Nothing when none matches.
std::optional<Generation> ChooseGeneration(const std::vector<Generation>& generations,
                                           const std::string& wanted);

// "Grandson", or "Destination" for the destination itself.
std::string ShownName(const Generation& generation);

}  // namespace tolvex::frontend
