#include "engine/staged_steps.h"

#include "platform/text_rules.h"

namespace tolvex {

void StagedSteps::AddCopy(size_t candidate, const CandidateTexts& texts, uint64_t bytes) {
  steps_.push_back(Step{candidate, texts, true});
  paths_.insert(AsciiUpperText(texts.path));
  paths_.insert(AsciiUpperText(texts.counterPath));
  ++copies_;
  bytes_ += bytes;
}

void StagedSteps::AddSkip(size_t candidate, const CandidateTexts& texts) {
  steps_.push_back(Step{candidate, texts, false});
}

bool StagedSteps::Touches(const std::string& path) const {
  return !paths_.empty() && paths_.count(AsciiUpperText(path)) != 0;
}

void StagedSteps::Clear() {
  steps_.clear();
  paths_.clear();
  copies_ = 0;
  bytes_ = 0;
}

}  // namespace tolvex
