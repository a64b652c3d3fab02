// The parameter set: every configuration value of a job, as the
// configuration exports store it. A run works on a copy (CallUpdate); what
// it works out itself (drive letters, the common root, the working
// destination folder, the statistics) is in its Plan (model/plan.h). The
// modes' values are named in the public header (TOLVEX_PATH_FULL, ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/tolvex32.h"
#include "model/records.h"

namespace tolvex {

class TParameters {
 public:
  std::string Filename;
  std::vector<STRING> DInclSels;
  std::vector<STRING> DExclSels;
  std::vector<STRING> FInclSels;
  std::vector<STRING> FExclSels;
  std::string Destination;
  int32_t VaryMode = 0;
  int32_t ConfirmMode = 0;
  int32_t SortMode = 0;
  uint8_t Reverse = 0;
  int32_t PathMode = 0;
  uint8_t Attributes = 0;
  int32_t TouchMode = 0;
  uint32_t LeastDate = 0;
  uint32_t LastUpdate = 0;
  int32_t OrphanModeD1 = 0;
  int32_t OrphanModeD2 = 0;
  int32_t OrphanModeB = 0;
  int32_t OrphanModeS1 = 0;
  int32_t OrphanModeS2 = 0;
  uint8_t Warnings = 0;
  uint8_t CreateSrcDirs = 0;
  uint8_t CreateDestDirs = 0;
  uint8_t DeleteSrcDirs = 0;
  uint8_t DeleteDestDirs = 0;
  uint8_t CheckSizes = 0;
  uint8_t LogActive = 0;
  uint8_t LogDateTime = 0;
  uint8_t LogDetails = 0;
  std::string LogFile;
  uint8_t LogAppend = 0;
  int32_t DisplayMode = 0;
  uint32_t BlockColor1 = 0;
  uint32_t BlockColor2 = 0;
  uint8_t SizeFilter = 0;
  uint8_t DoubleFilter = 0;
  std::string Weekday;
  char DateSeparator = 0;
  char TimeSeparator = 0;
  uint8_t Midnight = 0;
};

// The one process-wide parameter set: the exports write it between runs.
extern TParameters Parameters;

}  // namespace tolvex
