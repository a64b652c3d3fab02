// The scan's way into the run's findings: each (kind, path) once, in the
// order met, however often a folder or name is met.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "model/program_state.h"

namespace tolvex {

class FindingSink {
 public:
  void Add(int32_t kind, const std::string& path) {
    if (seen_.insert(std::to_string(kind) + '|' + path).second) {
      findings.push_back(FINDING{kind, path});
    }
  }

 private:
  std::unordered_set<std::string> seen_;
};

}  // namespace tolvex
