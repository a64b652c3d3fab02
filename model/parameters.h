// The parameter set: every configuration value of a job, stored by the
// configuration exports, plus the working fields a run fills (drive letters,
// the common root, the working destination folder and the statistics). The
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

  // Run-time fields.
  char SourceDrive = 0;       // upper-case letter of the first DInclSels entry
  char DestinationDrive = 0;  // upper-case letter of Destination
  std::string CommonRoot;     // common leading folder of the includes (path mode 2)
  std::string DestinationRoot;  // the working destination folder, ends with '\'

  // Drive space statistics, 64-bit inside (growths and needs may be negative).
  int64_t GrowthSrc = 0;
  int64_t GrowthDest = 0;
  uint64_t CopyBytes = 0;
  uint64_t FreeSrc = 0;
  uint64_t FreeDest = 0;
  uint64_t FreedSrc = 0;
  uint64_t FreedDest = 0;
  uint32_t CountToDest = 0;
  uint32_t CountToSrc = 0;
  uint32_t NewOnDest = 0;
  uint32_t NewOnSrc = 0;
  int64_t NeedDest = 0;
  int64_t NeedSrc = 0;
  int64_t AvailDest = 0;
  int64_t AvailSrc = 0;
};

// The one process-wide parameter set.
extern TParameters Parameters;

}  // namespace tolvex
