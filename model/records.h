// The three records of the engine: STRING (a text with a one-byte mark),
// CANDIDATE (one file of the update plan) and FOLDER (a group of consecutive
// candidates of the ordered plan), the state word's bits, and the shared text rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "include/tolvex32.h"

namespace tolvex {

// --- Candidate and folder state word ---
// The low four bits hold exactly one action; the higher bits are flags. The
// same bits reach the front end (ConfirmProc), so the public header names them.
enum : uint16_t {
  STATE_NORMAL = TOLVEX_STATE_NORMAL,
  STATE_IGNORE = TOLVEX_STATE_IGNORE,
  STATE_ERASE = TOLVEX_STATE_ERASE,
  STATE_INVERT = TOLVEX_STATE_INVERT,
  STATE_ACTION = TOLVEX_STATE_ACTION,
  STATE_DEST_SIDE = TOLVEX_STATE_DEST_SIDE,
  STATE_BAND = TOLVEX_STATE_BAND,
  STATE_SIZE_WARNING = TOLVEX_STATE_SIZE_WARNING,
  STATE_COUNTER_CHANGED = TOLVEX_STATE_COUNTER_CHANGED,
  STATE_DONE = TOLVEX_STATE_DONE,
  STATE_CONFIRMED = TOLVEX_STATE_CONFIRMED,
  STATE_CONFLICT = TOLVEX_STATE_CONFLICT,
  STATE_NAME_CLASH = TOLVEX_STATE_NAME_CLASH,
  STATE_NEW_WORK = TOLVEX_STATE_NEW_WORK,
  STATE_DELETED_ELSEWHERE = TOLVEX_STATE_DELETED_ELSEWHERE,
  STATE_MOVED = TOLVEX_STATE_MOVED,
  STATE_MODE_ONLY = TOLVEX_STATE_MODE_ONLY,
};

// Replaces the whole action nibble and keeps every flag.
inline uint16_t ReplaceAction(uint16_t state, uint16_t action) {
  return static_cast<uint16_t>((state & 0xFFF0) | (action & STATE_ACTION));
}

// A candidate keeps each side's mode (FindEntry::mode: kModeKnown and the
// permission bits) in the upper half of its attributes word, which holds
// only the low 16 bits of the attributes a listing gives: the candidate
// keeps its size. A word without a mode (Windows) is kept as it is.
inline uint32_t WithMode(uint32_t attributes, uint16_t mode) {
  return mode == 0 ? attributes : (attributes & 0xFFFFu) | (uint32_t{mode} << 16);
}
// The mode kept in an attributes word (kModeKnown set), or 0.
inline uint16_t ModeOf(uint32_t attributes) {
  const uint16_t mode = static_cast<uint16_t>(attributes >> 16);
  return (mode & 0x8000u) != 0 ? mode : 0;
}

// The text comparison rule of a run: byte by byte, ASCII a-z folded to upper
// case, other bytes (those above 127 too) unchanged and compared unsigned; the
// shorter text sorts first when it is a prefix. Returns -1, 0 or 1. So
// "Readme" equals "README", and "A_B" sorts after "AZB" ('_' is 0x5F).
int CompareText(std::string_view a, std::string_view b);

// A text with a one-byte mark. The mark is a side: in dirList the side the
// folder lies on (0 source tree, 1 destination tree), in counterpartList the
// opposite side; in the selection lists it is 0.
class STRING {
 public:
  STRING() = default;
  explicit STRING(std::string text, uint8_t mark = 0) : text_(std::move(text)), mark_(mark) {}

  const std::string& text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  // The side: 0 source tree, 1 destination tree.
  uint8_t mark() const { return mark_; }

  // Orders by text under the text comparison rule; the mark is ignored.
  bool operator<(const STRING& other) const { return CompareText(text_, other.text_) < 0; }

 private:
  std::string text_;
  uint8_t mark_ = 0;
};

// Sorts `list` by text under the text comparison rule (STRING's
// less-than); texts equal under the rule keep their order. Each text is
// folded once, so that long paths with long common beginnings (every
// folder of a tree) compare with memcmp rather than byte by byte.
void SortByText(std::vector<STRING>* list);

// One file of the update plan. Sizes are 64-bit inside the engine; callback
// arguments clamp them to 32 bits.
struct CANDIDATE {
  std::string name;        // file name up to its last dot
  std::string extension;   // from the last dot on, dot included; empty without one
  int32_t dirIndex = 0;    // index into dirList / counterpartList
  // The counterpart's name as the file system holds it, when its letter
  // case differs from name + extension: 1 + its index in the plan's
  // counterNames (0: the counterpart is named name + extension). The plan,
  // the log and the copy name the file that is there. (An index, not the
  // text: it fits in what the layout leaves free beside dirIndex.)
  uint32_t counterNameIndex = 0;
  uint64_t size = 0;       // scanned-side size
  uint64_t counterSize = 0;  // counterpart size; 0 when absent
  uint32_t stamp = 0;      // scanned-side packed date/time
  uint32_t counterStamp = 0;  // counterpart packed date/time; 0 when absent
  uint32_t attributes = 0;
  uint32_t counterAttributes = 0;
  uint16_t state = 0;

  CANDIDATE() = default;
  CANDIDATE(std::string name_, std::string extension_, int32_t dir_index, uint64_t size_,
            uint64_t counter_size, uint32_t stamp_, uint32_t counter_stamp, uint32_t attributes_,
            uint32_t counter_attributes, uint16_t state_)
      : name(std::move(name_)),
        extension(std::move(extension_)),
        dirIndex(dir_index),
        size(size_),
        counterSize(counter_size),
        stamp(stamp_),
        counterStamp(counter_stamp),
        attributes(attributes_),
        counterAttributes(counter_attributes),
        state(state_) {}

  // The counterpart's file name: as stored where it exists (`counter_names`:
  // the plan's counterNames).
  std::string counterFileName(const std::vector<std::string>& counter_names) const {
    return counterNameIndex != 0 ? counter_names[counterNameIndex - 1] : name + extension;
  }
  // True when the counterpart has bytes. An empty counterpart reads as
  // absent here, as in the record itself; counterStamp tells whether there
  // is one at all (0 when absent).
  bool counterHasBytes() const { return counterSize != 0; }
};

// Something a run found and left alone, kept with the reason: a name no
// action may touch, an include whose folder is missing, a file kept out of
// the plan. `kind` is the report code of the public header
// (TOLVEX_REPORT_*), which is also the event code of its log line.
struct FINDING {
  int32_t kind = 0;
  std::string path;  // drive form; the native path for an unusable name
};

// A group, not a folder of the file system: a run of consecutive
// candidates of the ordered plan (first..last, indexes into candidates)
// under one title, shown as one group row of the overview; `state` is the
// action chosen for the whole group there.
struct FOLDER {
  std::string title;
  int32_t first = 0;
  int32_t last = 0;
  int32_t forwardCount = 0;
  int32_t backwardCount = 0;
  int32_t forwardOrphans = 0;
  int32_t backwardOrphans = 0;
  uint64_t bytes = 0;
  uint16_t state = 0;

  FOLDER() = default;
  FOLDER(std::string title_, int32_t first_, int32_t last_, int32_t forward_count,
         int32_t backward_count, int32_t forward_orphans, int32_t backward_orphans,
         uint64_t bytes_, uint16_t state_)
      : title(std::move(title_)),
        first(first_),
        last(last_),
        forwardCount(forward_count),
        backwardCount(backward_count),
        forwardOrphans(forward_orphans),
        backwardOrphans(backward_orphans),
        bytes(bytes_),
        state(state_) {}

  // The five statistics of the group row, stored together.
  void SetStatistics(int32_t forward_count, int32_t backward_count, int32_t forward_orphans,
                     int32_t backward_orphans, uint64_t bytes_) {
    forwardCount = forward_count;
    backwardCount = backward_count;
    forwardOrphans = forward_orphans;
    backwardOrphans = backward_orphans;
    bytes = bytes_;
  }
};

// The stamp text: "%02d%1c%02d%1c%02d %02d%1c%02d%1c%02d" with month, day,
// two-digit year ((year field + 80) mod 100), hour, minute and second (always
// even), and the given separators.
std::string StampText(uint32_t stamp, char date_separator, char time_separator);
// The date half of the stamp text alone: month, day and two-digit year.
std::string StampDateText(uint32_t stamp, char date_separator);

}  // namespace tolvex
