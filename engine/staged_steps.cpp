#include "engine/staged_steps.h"

#include <utility>

#include "platform/text_rules.h"

namespace tolvex {

void StagedSteps::AddCopy(size_t candidate, CandidateTexts texts, RunItem item, uint64_t bytes) {
  paths_.insert(AsciiUpperText(texts.path));
  paths_.insert(AsciiUpperText(texts.counterPath));
  steps_.push_back(Step{candidate, std::move(texts), std::move(item), true});
  ++copies_;
  bytes_ += bytes;
}

void StagedSteps::AddSkip(size_t candidate, CandidateTexts texts, RunItem item) {
  steps_.push_back(Step{candidate, std::move(texts), std::move(item), false});
}

bool StagedSteps::Touches(const std::string& path) const {
  return !paths_.empty() && paths_.count(AsciiUpperText(path)) != 0;
}

std::vector<StagedSteps::Step> StagedSteps::Take() {
  std::vector<Step> steps;
  steps.swap(steps_);
  paths_.clear();
  copies_ = 0;
  bytes_ = 0;
  return steps;
}

}  // namespace tolvex
