// The sync state of two-way runs: for each working destination folder, the
// files both sides held after the last run into it that completed with
// nothing failed. A file on one side only is then judged by evidence (was it
// held on both sides, and is it unchanged since?) rather than by its stamp,
// which says nothing about a file copied with its times kept, or moved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvex {

// One file held on both sides: [0] the source tree, [1] the destination tree.
struct SyncRecord {
  std::string path[2];  // drive form
  uint64_t size[2] = {0, 0};
  uint32_t stamp[2] = {0, 0};
};

// The whole file: one list per working folder, in the order written.
struct SyncStateFile {
  struct Section {
    std::string folder;  // the working destination folder (DestinationRoot)
    std::vector<SyncRecord> records;
  };
  std::vector<Section> sections;

  const Section* Find(const std::string& folder) const;
  // Replaces the list of `folder` (appends it when new).
  void Put(Section section);
};

// The file's text: a first line naming the format, then per folder a
// "folder" line and its "file" lines (fields split by tabs, which no usable
// name holds), and an "end" line with the number of file lines, so that a
// file cut short is told from a whole one. False (and *file emptied) for any
// text that is not such a file.
bool ParseSyncState(std::string_view text, SyncStateFile* file);
std::string FormatSyncState(const SyncStateFile& file);

// The key of a pair of paths under the run's text rule (ASCII letters
// folded): the same file on both sides whatever its letter case. With
// `exact` (folders that tell letter case apart: plan.namesTellCaseApart)
// the paths as they are, so that case twins keep an entry each.
std::string SyncKey(const std::string& source_path, const std::string& destination_path,
                    bool exact = false);

// How a two-way run with erase orphans judges its orphans.
enum class SyncEvidence {
  kLastUpdate,  // no sync state: older than LastUpdate (less the margin) counts as deleted,
                // except both ends of a move
  kList,        // the list of the working folder decides
  kNewFolder,   // a folder the job has not completed a run into: every orphan is new
};

// What the passes did, in order, for the list written after the run.
struct SyncChange {
  bool copy = false;  // else an erasure
  int side = 0;       // the side of `from` (a copy reads it, an erasure removes it)
  std::string from;
  std::string to;
  uint64_t size = 0;
  uint32_t stamp = 0;
};

// What one run knows and gathers of the sync state (engine and scan share it).
struct SyncRun {
  bool gathering = false;  // a two-way run with a sync state file: the scan gathers pairs
  SyncEvidence evidence = SyncEvidence::kLastUpdate;
  bool exactKeys = false;  // the run's names tell letter case apart: keys keep it
  std::unordered_map<std::string, SyncRecord> held;  // kList: by SyncKey(.., exactKeys)
  std::vector<SyncRecord> pairs;  // every pair the scan met, as it met it
  std::vector<SyncChange> done;   // the copies and erasures of the passes
  size_t failures = 0;            // the copies and erasures that failed

  void Clear() { *this = SyncRun(); }
};

}  // namespace tolvex
