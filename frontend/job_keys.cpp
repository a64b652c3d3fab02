// The table of [Job] keys: one per configuration export of a value (the
// selection lists have sections of their own) and MaxErase, each with the
// export it goes to, the form the job file writes it in, the values the
// engine accepts and the default. The job file's words, kept here rather
// than in the export table: they are not one to one with the exports.
#include <stdexcept>

#include "frontend/job.h"

namespace tolvex::frontend {

namespace {

using E = EngineExports;
using F = ValueForm;

const std::vector<ValueName> kOrphanNames = {{"copy", 0}, {"ignore", 1}, {"erase", 2}};

}  // namespace

const std::vector<KeyRule>& JobKeys() {
  static const std::vector<KeyRule> keys = {
      {"Filename", &E::SetFilename, F::kText, {}, 0, 0, "", "job name in the log and captions (default: the job file's name)"},
      {"Destination", &E::SetDestination, F::kFolderPath, {}, 0, 0, "", "destination folder, absolute (required)"},
      {"VaryMode", &E::SetVaryMode, F::kNumber, {}, 0, 4, "none", "none (0) Destination itself, dated (1) folder, weekday (2) folder, odd-even (3), generations (4) Grandson/Son/Father",
       {{"none", 0}, {"dated", 1}, {"weekday", 2}, {"odd-even", 3}, {"generations", 4}}},
      {"ConfirmMode", &E::SetConfirmMode, F::kNumber, {}, 0, 2, "none", "none (0), each-file (1) asks per file, overview (2) before the run",
       {{"none", 0}, {"each-file", 1}, {"overview", 2}}},
      {"SortMode", &E::SetSortMode, F::kNumber, {}, 0, 4, "folder", "folder (0), name (1), type (2), size (3), date (4)",
       {{"folder", 0}, {"name", 1}, {"type", 2}, {"size", 3}, {"date", 4}}},
      {"Reverse", &E::SetReverse, F::kFlag, {}, 0, 0, "0", "reverse the order"},
      {"PathMode", &E::SetPathMode, F::kNumber, {}, 0, 2, "relative", "flat (0), full (1) source path, relative (2) path below the common root",
       {{"flat", 0}, {"full", 1}, {"relative", 2}}},
      {"Attributes", &E::SetAttributes, F::kBits, {}, 0, 255, "hidden+system", "attribute mask: hidden (0x02), system (0x04); overwrite-readonly (0x01) targets",
       {{"none", 0}, {"overwrite-readonly", 0x01}, {"hidden", 0x02}, {"system", 0x04}}},
      {"TouchMode", &E::SetTouchMode, F::kNumber, {}, 0, 2, "one-way", "one-way (0) source to destination, both (1) ways, back (2) destination to source",
       {{"one-way", 0}, {"both", 1}, {"back", 2}}},
      {"LeastDate", &E::SetLeastDate, F::kDate, {}, 0, 0, "none", "files older than this local date are left out"},
      {"LastUpdate", &E::SetLastUpdate, F::kDate, {}, 0, 0, "none", "date of the previous run (default: from JOB.state)"},
      {"OrphanModeD1", &E::SetOrphanModeD1, F::kNumber, {0, 1}, 0, 0, "copy", "TouchMode one-way, file only in the source: copy (0), ignore (1)", kOrphanNames},
      {"OrphanModeD2", &E::SetOrphanModeD2, F::kNumber, {1, 2}, 0, 0, "ignore", "TouchMode one-way, file only in the destination: ignore (1), erase (2)", kOrphanNames},
      {"OrphanModeB", &E::SetOrphanModeB, F::kNumber, {0, 1, 2}, 0, 0, "copy", "TouchMode both, file on one side: copy (0), ignore (1), erase (2)", kOrphanNames},
      {"OrphanModeS1", &E::SetOrphanModeS1, F::kNumber, {0, 1}, 0, 0, "copy", "TouchMode back, file only in the destination: copy (0), ignore (1)", kOrphanNames},
      {"OrphanModeS2", &E::SetOrphanModeS2, F::kNumber, {1, 2}, 0, 0, "ignore", "TouchMode back, file only in the source: ignore (1), erase (2)", kOrphanNames},
      {"Warnings", &E::SetWarnings, F::kBits, {0, 0x40, 0x80, 0xC0}, 0, 0, "none", "ask (0x40) on a failed copy, beep (0x80) on a failed copy; ask+beep both",
       {{"none", 0}, {"ask", 0x40}, {"beep", 0x80}}},
      {"CreateSrcDirs", &E::SetCreateSrcDirs, F::kFlag, {}, 0, 0, "1", "create missing folders in the source tree"},
      {"CreateDestDirs", &E::SetCreateDestDirs, F::kFlag, {}, 0, 0, "1", "create missing folders in the destination tree"},
      {"DeleteSrcDirs", &E::SetDeleteSrcDirs, F::kFlag, {}, 0, 0, "0", "remove empty source folders after the run"},
      {"DeleteDestDirs", &E::SetDeleteDestDirs, F::kFlag, {}, 0, 0, "0", "remove empty destination folders after the run"},
      {"EmptyFolders", &E::SetEmptyFolders, F::kFlag, {}, 0, 0, "1", "mirror the folders of the selection, empty ones too: make them where the orphan mode copies, remove those gone from the other side where it erases"},
      {"CheckSizes", &E::SetCheckSizes, F::kNumber, {}, 0, 255, "0", "size ratio that marks a suspicious pair; 0 off"},
      {"LogActive", &E::SetLogActive, F::kFlag, {}, 0, 0, "", "write a log (default: yes when LogFile is given)"},
      {"LogDateTime", &E::SetLogDateTime, F::kNumber, {}, 0, 2, "header", "none (0), header (1) date in header and footer, entries (2) also a time per entry",
       {{"none", 0}, {"header", 1}, {"entries", 2}}},
      {"LogDetails", &E::SetLogDetails, F::kNumber, {}, 0, 3, "sizes", "names (0), sizes (1) names with size and date, both-sides (2), none (3) no file lines",
       {{"names", 0}, {"sizes", 1}, {"both-sides", 2}, {"none", 3}}},
      {"LogFile", &E::SetLogFile, F::kFilePath, {}, 0, 0, "", "log file, absolute"},
      {"LogAppend", &E::SetLogAppend, F::kFlag, {}, 0, 0, "1", "append to the log instead of replacing it"},
      {"DisplayMode", &E::SetDisplayMode, F::kNumber, {}, 0, 2, "groups", "overview view: groups (0), detailed (1), compact (2)",
       {{"groups", 0}, {"detailed", 1}, {"compact", 2}}},
      {"BlockColor1", &E::SetBlockColor1, F::kColour, {}, 0, 0, "#FFFFFF", "overview row colour, first band"},
      {"BlockColor2", &E::SetBlockColor2, F::kColour, {}, 0, 0, "#E8E8E8", "overview row colour, second band"},
      {"SizeFilter", &E::SetSizeFilter, F::kFlag, {}, 0, 0, "0", "overview shows only size warnings"},
      {"DoubleFilter", &E::SetDoubleFilter, F::kFlag, {}, 0, 0, "0", "overview shows only pairs changed on both sides"},
      {"Weekday", &E::SetWeekday, F::kName, {}, 0, 0, "", "folder name of VaryMode weekday (default: today's weekday name)"},
      {"DateSeparator", &E::SetDateSeparator, F::kSeparator, {}, 0, 0, "/", "one character between month, day and year"},
      {"TimeSeparator", &E::SetTimeSeparator, F::kSeparator, {}, 0, 0, ":", "one character between hours, minutes and seconds"},
      {"Midnight", &E::SetMidnight, F::kAutoFlag, {}, 0, 0, "auto", "midnight hint: 1, 0, or auto (see LAST UPDATE AND MIDNIGHT)"},
      {"ShareUnchanged", &E::SetShareUnchanged, F::kFlag, {}, 0, 0, "1", "generations: a file equal to its version in the previous generation is linked to it, not copied (see GENERATIONS)"},
      {"MaxErase", &E::SetEraseLimit, F::kEraseLimit, {}, 0, 0, "10 and 50%", "the run stops before it changes anything when its plan erases more files on one side than this: a count (\"100\"), a share of the files there (\"20%\"), both (\"10 and 50%\": more than 10 and more than half), or none (see ERASE LIMIT)"},
  };
  return keys;
}

std::string NameOfValue(const KeyRule& rule, int64_t value) {
  if (rule.form == ValueForm::kBits && value != 0) {
    std::string names;
    int64_t named = 0;
    for (const ValueName& name : rule.names) {
      if (name.value == 0 || (value & name.value) != name.value) continue;
      names += (names.empty() ? "" : "+") + std::string(name.name);
      named |= name.value;
    }
    return named == value ? names : "";
  }
  for (const ValueName& name : rule.names) {
    if (name.value == value) return name.name;
  }
  return "";
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
