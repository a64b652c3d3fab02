#include "engine/candidate_texts.h"

#include <utility>

#include "model/parameters.h"
#include "model/program_state.h"

namespace tolvex {

CandidateTexts CandidateTexts::For(const CANDIDATE& c) {
  const TParameters& p = Parameters;
  CandidateTexts t;
  t.dir = dirList[c.dirIndex].text();
  t.counterDir = counterpartList[c.dirIndex].text();
  t.path = t.dir + c.name + c.extension;
  t.counterPath = t.counterDir + c.name + c.extension;
  t.sizeText = LogSizeText(c.size);
  t.stampText = StampText(c.stamp, p.DateSeparator, p.TimeSeparator);
  if (c.counterSize != 0) {
    t.counterSizeText = LogSizeText(c.counterSize);
    t.counterStampText = StampText(c.counterStamp, p.DateSeparator, p.TimeSeparator);
  }
  return t;
}

void CandidateTexts::Swap() {
  std::swap(dir, counterDir);
  std::swap(path, counterPath);
  std::swap(sizeText, counterSizeText);
  std::swap(stampText, counterStampText);
}

LogEntry CandidateTexts::FileEntry() const {
  return LogEntry::File(path, counterPath, sizeText, counterSizeText, stampText,
                        counterStampText);
}

}  // namespace tolvex
