// The scan's way into the plan's findings: each (kind, path) once, in the
// order met, however often a folder or name is met.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/records.h"

namespace tolvex {

class FindingSink {
 public:
  explicit FindingSink(std::vector<FINDING>& findings) : findings_(findings) {}
  void Add(int32_t kind, const std::string& path) {
    if (seen_.insert(std::to_string(kind) + '|' + path).second) {
      findings_.push_back(FINDING{kind, path});
    }
  }

 private:
  std::vector<FINDING>& findings_;
  std::unordered_set<std::string> seen_;
};

}  // namespace tolvex
