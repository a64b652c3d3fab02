// What the engine's extension channels hand the command (include/tolvex32.h:
// TolvexItem), kept as values, and the words the command shows for them.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "include/tolvex32.h"
#include "frontend/drive_map.h"

namespace tolvex::frontend {

struct ItemRecord {
  int32_t kind = 0;
  int32_t reason = 0;
  int32_t outcome = TOLVEX_OUTCOME_PLANNED;
  uint32_t error = 0;
  uint32_t state = 0;
  uint32_t stamp = 0;
  uint32_t counter_stamp = 0;
  uint64_t size = 0;
  uint64_t counter_size = 0;
  int64_t number = 0;
  int64_t limit = 0;
  int32_t drive = 0;
  int32_t side = 0;
  std::string from;
  std::string to;

  // Copies the item (valid during the engine's call only).
  static ItemRecord Of(const TolvexItem& item);

  bool IsAction() const {
    return kind == TOLVEX_ITEM_COPY || kind == TOLVEX_ITEM_COPY_BACK ||
           kind == TOLVEX_ITEM_SET_MODE || kind == TOLVEX_ITEM_ERASE || kind == TOLVEX_ITEM_SKIP;
  }
};

// "copy", "copy back", "set mode", "erase", "skip", ... for a kind.
std::string KindName(int32_t kind);
// A mode as its octal digits: "644", "700".
std::string ModeText(int64_t mode);
// The command's own reason of a skip that the engine gives "its copy
// failed": the person interrupted that copy (error 0x20000000).
constexpr int32_t kReasonInterruptedByYou = -1;

// "ignored orphan", "conflict", ... for a skip's or figure's reason.
std::string ReasonName(int32_t reason);

// Tells the skips that follow an Interrupt: each outcome goes through
// Mark in order, and a skip "its copy failed" of a pair whose copy the
// person interrupted gets kReasonInterruptedByYou.
class InterruptedCopies {
 public:
  void Mark(ItemRecord* item);

 private:
  std::set<std::string> pairs_;  // "from\nto", both ways
};
// "link to a file", "link to a folder", "dangling link" for an item whose
// file is a symbolic link copied as a link; empty for any other.
std::string LinkName(uint32_t state);

// "case twin", "unreadable folder", ... for a finding's report code.
std::string FindingName(int32_t report);
// "1 file", "3 files"; "12 B", "3.4 KB", "1.2 MB", "5.0 GB".
std::string Files(uint64_t count);
std::string ByteText(uint64_t bytes);

// How the command shows items: native paths, and whether the job knows the
// time of its last run (a copy whose other side changed since then is a
// pair changed on both sides, whose newer file wins).
struct ItemStyle {
  const DriveMap* drives = nullptr;
  bool last_update_known = false;
};

// True for a copy that replaces a file changed since the last run.
bool NewerWins(const ItemRecord& item, const ItemStyle& style);

// One line of text (no line end), or one JSON object.
std::string ItemText(const ItemRecord& item, const ItemStyle& style);
std::string ItemJson(const ItemRecord& item, const ItemStyle& style);

}  // namespace tolvex::frontend
