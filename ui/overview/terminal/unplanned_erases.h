// The terminal overview's second question before an erase the plan did not
// hold: Erase on a copy's entry erases the file on its side and its
// counterpart (the erase pass takes both), so the overview names each file,
// with its side and its real path, and asks once more.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "model/plan.h"

namespace tolvex::overview {

class UnplannedErases {
 public:
  // Notes which candidates `plan` erases (call when the overview opens);
  // the overview works on that plan.
  explicit UnplannedErases(Plan& plan);

  // The action words of every candidate and group now, to compare with
  // after a key and to go back to.
  struct Marks {
    std::vector<uint16_t> candidates;
    std::vector<uint16_t> groups;
  };
  Marks Take() const;
  void Restore(const Marks& marks) const;

  // The candidates that a key gave Erase (they had another action in
  // `before`, which the same key took, and the plan did not erase them),
  // in list order.
  std::vector<size_t> Added(const Marks& before) const;

  // The question's lines: one per file that would be erased ("the SOURCE
  // file /home/me/a.txt"), at most `room` lines with the last saying how
  // many more there are.
  std::vector<std::string> FileLines(const std::vector<size_t>& added, size_t room) const;

 private:
  Plan& plan_;
  std::set<std::string> planned_;  // keys of the candidates the plan erases
};

// "/home/me/a.txt" for "S:\a.txt" through the drive table the library
// reads (TOLVEX_DRIVES); the path as given when its drive is not mapped.
std::string NativePathOf(const std::string& path);

}  // namespace tolvex::overview
