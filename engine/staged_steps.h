// The steps of the copy pass that wait for staged copies: the copies
// themselves and the skip lines between them, in plan order.
//
// The copy pass stages copies on the platform (Platform::StageCopy) and has
// them put in place together (CompleteStagedCopies). A staged copy counts
// as nothing yet: no log line, no gauge step, no settled partner until its
// target is in place. A step that is no copy (a skipped file) waits with
// them, so that the log keeps the plan's order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/candidate_texts.h"
#include "engine/run_items.h"

namespace tolvex {

class StagedSteps {
 public:
  struct Step {
    size_t candidate;
    CandidateTexts texts;  // as the copy went (swapped for an Invert)
    RunItem item;          // its outcome, once it has one
    bool copy;             // false: a skipped file
  };

  // Copies and bytes staged at most before they are completed: enough for
  // the durability of many small files to cost about one wait, little
  // enough that the gauge moves several times a second, a batch that fails
  // wastes little work, and the descriptors a platform holds for a batch
  // (one a copy, one a folder) stay well below a process's usual 1024.
  static constexpr size_t kMaxCopies = 256;
  static constexpr uint64_t kMaxBytes = uint64_t{64} << 20;

  bool empty() const { return steps_.empty(); }
  bool full() const { return copies_ >= kMaxCopies || bytes_ >= kMaxBytes; }
  // The bytes of the copies staged (written, not yet in place).
  uint64_t bytes() const { return bytes_; }
  const std::vector<Step>& steps() const { return steps_; }

  void AddCopy(size_t candidate, CandidateTexts texts, RunItem item, uint64_t bytes);
  void AddSkip(size_t candidate, CandidateTexts texts, RunItem item);
  // True when `path` (drive form) is the source or the target of a staged
  // copy, letter case ignored: a copy that reads or writes it must wait for
  // that one (the two copies of a conflict pair, an Invert after a copy).
  bool Touches(const std::string& path) const;
  // The steps, in the order added; none are left.
  std::vector<Step> Take();

 private:
  std::vector<Step> steps_;
  std::unordered_set<std::string> paths_;  // ASCII upper case
  size_t copies_ = 0;
  uint64_t bytes_ = 0;
};

}  // namespace tolvex
