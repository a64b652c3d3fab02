// The texts of one candidate: its folders and paths on both sides and the
// size and stamp texts the log writes.
#pragma once

#include <string>

#include "log/tlog.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "model/records.h"

namespace tolvex {

// The texts of one candidate, built when its turn comes.
struct CandidateTexts {
  std::string dir, path, counterDir, counterPath;
  std::string sizeText, stampText, counterSizeText, counterStampText;

  // With the folders of `plan` and the date format of `parameters`.
  static CandidateTexts For(const CANDIDATE& c, const Plan& plan, const TParameters& parameters);
  // The opposite direction, for an Invert candidate.
  void Swap();
  LogEntry FileEntry() const;
};

}  // namespace tolvex
