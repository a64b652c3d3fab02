// The table of [Job] keys: one per configuration export, with the form the
// job file writes it in, the values the engine accepts and the default.
#include <stdexcept>

#include "frontend/job.h"

namespace tolvex::frontend {

namespace {

using S = SetterKind;
using F = ValueForm;

}  // namespace

const std::vector<KeyRule>& JobKeys() {
  static const std::vector<KeyRule> keys = {
      {"Filename", S::kText, F::kText, {}, 0, 0, "", "job name in the log and captions (default: the job file's name)"},
      {"Destination", S::kText, F::kFolderPath, {}, 0, 0, "", "destination folder, absolute (required)"},
      {"VaryMode", S::kInt, F::kNumber, {}, 0, 4, "0", "0 Destination itself, 1 dated folder, 2 Weekday folder, 3 Odd/Even, 4 Grandson/Son/Father"},
      {"ConfirmMode", S::kInt, F::kNumber, {}, 0, 2, "0", "0 none, 1 ask per file, 2 overview before the run"},
      {"SortMode", S::kInt, F::kNumber, {}, 0, 4, "0", "0 folder, 1 name, 2 type, 3 size, 4 date"},
      {"Reverse", S::kInt, F::kFlag, {}, 0, 0, "0", "reverse the order"},
      {"PathMode", S::kInt, F::kNumber, {}, 0, 2, "2", "0 flat, 1 full source path, 2 path below the common root"},
      {"Attributes", S::kInt, F::kNumber, {}, 0, 255, "0x06", "attribute mask: 0x02 hidden, 0x04 system; 0x01 overwrite read-only targets"},
      {"TouchMode", S::kInt, F::kNumber, {}, 0, 2, "0", "0 source to destination, 1 both ways, 2 destination to source"},
      {"LeastDate", S::kUnsigned, F::kDate, {}, 0, 0, "none", "files older than this local date are left out"},
      {"LastUpdate", S::kUnsigned, F::kDate, {}, 0, 0, "none", "date of the previous run (default: from JOB.state)"},
      {"OrphanModeD1", S::kInt, F::kNumber, {0, 1}, 0, 0, "0", "TouchMode 0, file only in the source: 0 copy, 1 ignore"},
      {"OrphanModeD2", S::kInt, F::kNumber, {1, 2}, 0, 0, "1", "TouchMode 0, file only in the destination: 1 ignore, 2 erase"},
      {"OrphanModeB", S::kInt, F::kNumber, {0, 1, 2}, 0, 0, "0", "TouchMode 1, file on one side: 0 copy, 1 ignore, 2 erase"},
      {"OrphanModeS1", S::kInt, F::kNumber, {0, 1}, 0, 0, "0", "TouchMode 2, file only in the destination: 0 copy, 1 ignore"},
      {"OrphanModeS2", S::kInt, F::kNumber, {1, 2}, 0, 0, "1", "TouchMode 2, file only in the source: 1 ignore, 2 erase"},
      {"Warnings", S::kInt, F::kNumber, {0, 0x40, 0x80, 0xC0}, 0, 0, "0", "0x80 beep on a failed copy, 0x40 ask on a failed copy"},
      {"CreateSrcDirs", S::kInt, F::kFlag, {}, 0, 0, "1", "create missing folders in the source tree"},
      {"CreateDestDirs", S::kInt, F::kFlag, {}, 0, 0, "1", "create missing folders in the destination tree"},
      {"DeleteSrcDirs", S::kInt, F::kFlag, {}, 0, 0, "0", "remove empty source folders after the run"},
      {"DeleteDestDirs", S::kInt, F::kFlag, {}, 0, 0, "0", "remove empty destination folders after the run"},
      {"CheckSizes", S::kInt, F::kNumber, {}, 0, 255, "0", "size ratio that marks a suspicious pair; 0 off"},
      {"LogActive", S::kInt, F::kFlag, {}, 0, 0, "", "write a log (default: yes when LogFile is given)"},
      {"LogDateTime", S::kInt, F::kNumber, {}, 0, 2, "1", "0 no times, 1 date in header and footer, 2 also a time per entry"},
      {"LogDetails", S::kInt, F::kNumber, {}, 0, 3, "1", "0 names, 1 names with size and date, 2 both sides, 3 no file lines"},
      {"LogFile", S::kText, F::kFilePath, {}, 0, 0, "", "log file, absolute"},
      {"LogAppend", S::kInt, F::kFlag, {}, 0, 0, "1", "append to the log instead of replacing it"},
      {"DisplayMode", S::kInt, F::kNumber, {}, 0, 2, "0", "overview view: 0 groups, 1 detailed, 2 compact"},
      {"BlockColor1", S::kUnsigned, F::kColour, {}, 0, 0, "#FFFFFF", "overview row colour, first band"},
      {"BlockColor2", S::kUnsigned, F::kColour, {}, 0, 0, "#E8E8E8", "overview row colour, second band"},
      {"SizeFilter", S::kInt, F::kFlag, {}, 0, 0, "0", "overview shows only size warnings"},
      {"DoubleFilter", S::kInt, F::kFlag, {}, 0, 0, "0", "overview shows only pairs changed on both sides"},
      {"Weekday", S::kText, F::kName, {}, 0, 0, "", "folder name of VaryMode 2 (default: today's weekday name)"},
      {"DateSeparator", S::kInt, F::kSeparator, {}, 0, 0, "/", "one character between month, day and year"},
      {"TimeSeparator", S::kInt, F::kSeparator, {}, 0, 0, ":", "one character between hours, minutes and seconds"},
      {"Midnight", S::kInt, F::kAutoFlag, {}, 0, 0, "auto", "midnight hint: 1, 0, or auto (see LAST UPDATE AND MIDNIGHT)"},
  };
  return keys;
}

Setting& Job::Get(const std::string& key) {
  for (Setting& setting : settings) {
    if (key == setting.rule->key) return setting;
  }
  throw std::logic_error("no job key " + key);
}

const Setting& Job::Get(const std::string& key) const {
  return const_cast<Job*>(this)->Get(key);
}

}  // namespace tolvex::frontend
