#include "engine/sync_state_run.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/sync_state.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

// The whole file; false when it is missing, cannot be read, or is no whole
// sync state file.
bool ReadStateFile(const std::string& path, SyncStateFile* file) {
  std::FILE* stream = nullptr;
  if (Sys().OpenForRead(path, &stream) != kErrOk || stream == nullptr) return false;
  std::string text;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, got);
  const bool read = std::ferror(stream) == 0;
  std::fclose(stream);
  return read && ParseSyncState(text, file);
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  std::FILE* stream = nullptr;
  if (Sys().OpenForWrite(path, false, &stream) != kErrOk || stream == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fclose(stream) == 0 && written;
}

// The pairs the scan met, as the passes left them.
std::vector<SyncRecord> HeldAfterRun(SyncRun& syncRun) {
  std::unordered_map<std::string, SyncRecord> held;  // by SyncKey
  held.reserve(syncRun.pairs.size() + syncRun.done.size());
  // Only an erasure looks a pair up by one side's path: without one, the
  // two maps of every pair's sides are not made (a third of the work here).
  const bool erasures = std::any_of(syncRun.done.begin(), syncRun.done.end(),
                                    [](const SyncChange& change) { return !change.copy; });
  std::unordered_map<std::string, std::string> key_of[2];  // a side's folded path -> SyncKey
  const bool exact = syncRun.exactKeys;
  const auto hold = [&](SyncRecord record) {
    std::string key = SyncKey(record.path[0], record.path[1], exact);
    if (erasures) {
      for (int side = 0; side < 2; ++side) key_of[side][SyncKey(record.path[side], "", exact)] = key;
    }
    held[std::move(key)] = std::move(record);
  };
  for (SyncRecord& pair : syncRun.pairs) hold(std::move(pair));
  for (const SyncChange& change : syncRun.done) {
    if (change.copy) {
      // Both sides now hold the file that was read.
      SyncRecord record;
      record.path[change.side] = change.from;
      record.path[1 - change.side] = change.to;
      for (int side = 0; side < 2; ++side) {
        record.size[side] = change.size;
        record.stamp[side] = change.stamp;
      }
      hold(std::move(record));
      continue;
    }
    const auto erased = key_of[change.side].find(SyncKey(change.from, "", exact));
    if (erased != key_of[change.side].end()) held.erase(erased->second);
  }
  // In path order: a run that changed nothing writes the same file again.
  // Sorted by the keys the map holds already: a key made afresh for each
  // comparison cost more than the rest of a two-way run's own work.
  std::vector<std::pair<const std::string*, SyncRecord*>> order;
  order.reserve(held.size());
  for (auto& [key, record] : held) order.emplace_back(&key, &record);
  std::sort(order.begin(), order.end(),
            [](const auto& a, const auto& b) { return *a.first < *b.first; });
  std::vector<SyncRecord> records;
  records.reserve(order.size());
  for (const auto& [key, record] : order) records.push_back(std::move(*record));
  return records;
}

}  // namespace

void BeginSyncState(const TParameters& parameters, Plan& plan, const TExtension& extension) {
  SyncRun& syncRun = plan.syncRun;
  syncRun.Clear();
  if (parameters.TouchMode != TOLVEX_TOUCH_BOTH_WAYS) return;
  syncRun.exactKeys = plan.namesTellCaseApart;
  // A working folder that changes from run to run: without a list for it,
  // nothing tells whether the job has completed a run into it.
  const bool varying = parameters.VaryMode != TOLVEX_VARY_NONE;
  syncRun.evidence = varying ? SyncEvidence::kNewFolder : SyncEvidence::kLastUpdate;
  if (extension.syncStatePath.empty() || parameters.VaryMode == TOLVEX_VARY_GENERATIONS) return;
  syncRun.gathering = true;
  SyncStateFile file;
  if (!ReadStateFile(extension.syncStatePath, &file)) return;
  const SyncStateFile::Section* section = file.Find(plan.DestinationRoot);
  if (section == nullptr) {
    // The job keeps a state, but has completed no run into this folder.
    syncRun.evidence = SyncEvidence::kNewFolder;
    return;
  }
  syncRun.evidence = SyncEvidence::kList;
  for (const SyncRecord& record : section->records) {
    syncRun.held[SyncKey(record.path[0], record.path[1], syncRun.exactKeys)] = record;
  }
}

void NoteSyncOutcome(SyncRun& sync_run, const TolvexItem& item, const std::string& from,
                     const std::string& to) {
  if (!sync_run.gathering) return;
  const bool copy = item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK;
  // A mode set leaves the pair's sizes and stamps as listed; a failed one
  // still keeps the state from being written.
  if (item.kind == TOLVEX_ITEM_SET_MODE && item.outcome == TOLVEX_OUTCOME_FAILED) ++sync_run.failures;
  if (!copy && item.kind != TOLVEX_ITEM_ERASE) return;
  if (item.outcome == TOLVEX_OUTCOME_FAILED) ++sync_run.failures;
  if (item.outcome != TOLVEX_OUTCOME_DONE) return;
  sync_run.done.push_back(SyncChange{copy, item.side, from, to, item.size, item.stamp});
}

bool EndSyncState(Plan& plan, const TExtension& extension) {
  SyncRun& syncRun = plan.syncRun;
  const bool write = syncRun.gathering && !extension.DryRun() && syncRun.failures == 0;
  bool written = true;
  if (write) {
    SyncStateFile file;
    // The other folders' lists as they are now; a file that cannot be read
    // keeps none of them.
    ReadStateFile(extension.syncStatePath, &file);
    file.Put(SyncStateFile::Section{plan.DestinationRoot, HeldAfterRun(syncRun)});
    const std::string temporary = extension.syncStatePath + ".new";
    // CopyOver replaces the file in one step (a temporary copy renamed over
    // it): the file is always the old list or the new one.
    written = WriteWholeFile(temporary, FormatSyncState(file)) &&
              Sys().CopyOver(temporary, extension.syncStatePath) == kErrOk;
    Sys().RemoveFile(temporary);
  }
  syncRun.Clear();
  return written;
}

}  // namespace tolvex
