// A job as the engine will get it: every configuration value resolved from
// the job file (or its default), the four selection lists in drive form and
// the drive table that goes into TOLVEX_DRIVES.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "frontend/drive_map.h"
#include "frontend/engine_exports.h"
#include "frontend/job_file.h"

namespace tolvex::frontend {

// The export a key's value goes to, by its slot in the loaded library; its
// type says how the export takes the value (SetterKind, in the same order).
// kEraseLimit: SetEraseLimit(count, percent), an export of the extension,
// whose key (MaxErase) is the command's own.
using KeySetter = std::variant<TextSetter EngineExports::*, IntSetter EngineExports::*,
                               UnsignedSetter EngineExports::*, IntPairSetter EngineExports::*>;
enum class SetterKind { kText, kInt, kUnsigned, kEraseLimit };
template <SetterKind kind>
using KeySetterOf = std::variant_alternative_t<static_cast<size_t>(kind), KeySetter>;
static_assert(std::is_same_v<KeySetterOf<SetterKind::kText>, TextSetter EngineExports::*> &&
              std::is_same_v<KeySetterOf<SetterKind::kInt>, IntSetter EngineExports::*> &&
              std::is_same_v<KeySetterOf<SetterKind::kUnsigned>, UnsignedSetter EngineExports::*> &&
              std::is_same_v<KeySetterOf<SetterKind::kEraseLimit>, IntPairSetter EngineExports::*>);

// How the job file writes the value.
enum class ValueForm {
  kText,        // any text
  kName,        // a folder name: no path separators or wildcards
  kFolderPath,  // an absolute folder path
  kFilePath,    // an absolute file path
  kNumber,      // decimal or 0x hexadecimal, or a value's name, within the allowed values
  kBits,        // a number, or bit names joined by '+' ("ask+beep"), within the allowed values
  kFlag,        // 1/0, yes/no, true/false, on/off
  kDate,        // local "YYYY-MM-DD HH:MM:SS" (or none)
  kColour,      // "#RRGGBB"
  kSeparator,   // one character
  kAutoFlag,    // like kFlag, or "auto" for the command's own rule
  kEraseLimit,  // "none", a count, "P%", or "N and P%"
};

// A word a job file may write instead of a number ("erase" for 2), or, for
// kBits, instead of one bit ("beep" for 0x80).
struct ValueName {
  const char* name;
  int64_t value;
};

// One key of the [Job] section: named after its export without "Set" (but
// MaxErase, which SetEraseLimit takes).
struct KeyRule {
  const char* key;
  KeySetter setter;
  ValueForm form;
  std::vector<int64_t> allowed;  // kNumber, kBits: the accepted values (empty: min..max)
  int64_t min = 0;
  int64_t max = 0;
  const char* default_text;  // the value when the job omits the key ("" = none)
  const char* help;          // one line for tolvex --help
  std::vector<ValueName> names = {};  // kNumber, kBits: the words for values or bits

  SetterKind kind() const { return static_cast<SetterKind>(setter.index()); }
};

// The name of `value` in `rule.names` ("" when it has none; kBits: the bit
// names joined by '+').
std::string NameOfValue(const KeyRule& rule, int64_t value);

const std::vector<KeyRule>& JobKeys();

struct Setting {
  const KeyRule* rule = nullptr;
  uint32_t number = 0;  // the engine's value for kInt and kUnsigned; kEraseLimit: the count
  int32_t percent = 0;  // kEraseLimit: the percentage
  std::string text;     // the engine's value for kText
  int line = 0;         // 0 when the value is a default
  bool is_auto = false; // kAutoFlag written as "auto" (or left out)
  std::string note;     // where a value not written in the job came from
};

// The four selection lists, in the order of their exports.
enum ListIndex { kDIncl, kDExcl, kFIncl, kFExcl, kListCount };
inline constexpr std::array<const char*, kListCount> kListNames = {"DInclSels", "DExclSels",
                                                                   "FInclSels", "FExclSels"};

// The exports that empty a selection list and add one entry to it.
struct ListExports {
  ListClearer EngineExports::*clear;
  TextSetter EngineExports::*add;
};
inline constexpr std::array<ListExports, kListCount> kListExports = {{
    {&EngineExports::ClearDInclSels, &EngineExports::SetDInclSel},
    {&EngineExports::ClearDExclSels, &EngineExports::SetDExclSel},
    {&EngineExports::ClearFInclSels, &EngineExports::SetFInclSel},
    {&EngineExports::ClearFExclSels, &EngineExports::SetFExclSel},
}};

struct Job {
  std::string path;  // the job file
  std::vector<Setting> settings;  // in the order of JobKeys()
  std::array<std::vector<std::string>, kListCount> lists;
  DriveMap drives;
  // The command's own files, in drive form: the job file and the files it
  // writes beside it (JOB.state). Handed to the engine as file exclusions
  // in drive form, so that no run copies over, erases or copies them,
  // wherever they lie.
  std::vector<std::string> own_files;
  // Warnings bit 0x40 was added by the command, not asked for by the job:
  // the command hears of each failed copy and skips it without a question.
  bool silent_copy_errors = false;
  // What the job says that has no effect or will stop the run at once, in
  // file order; the job still runs as written.
  JobErrors warnings;
  // The sync state file of two-way runs, beside the job (drive form; empty
  // when it has no drive).
  std::string sync_state;

  Setting& Get(const std::string& key);
  const Setting& Get(const std::string& key) const;
};

// Reads and checks a job file, and reports every fault at once, in file
// order. `path` is as the user gave it.
std::variant<Job, JobErrors> LoadJob(const std::string& path);
// The same over a text already read (for the tests); `path` names the file
// in messages, and its folder is what ${JOBDIR} stands for.
std::variant<Job, JobErrors> ParseJob(const std::string& path, const std::string& text);

// The absolute folder of `path` (made absolute against the current folder),
// without a trailing separator.
std::string AbsoluteFolderOf(const std::string& path);

}  // namespace tolvex::frontend
