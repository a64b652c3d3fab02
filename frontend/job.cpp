// Reading a job file into a Job: sections, keys, value forms, value sets,
// paths into drive form, and the checks that join several keys.
#include "frontend/job.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "frontend/value_forms.h"

namespace tolvex::frontend {

namespace {

constexpr const char kJobDirVariable[] = "${JOBDIR}";
constexpr const char kHomeVariable[] = "${HOME}";
// The engine's path limit, and the room the generation folders take.
constexpr size_t kMaxPath = 259;
constexpr size_t kGenerationRoom = 12;

struct RawValue {
  int line = 0;
  std::string value;
};

std::string ReplaceAll(std::string value, const std::string& variable, const std::string& text) {
  for (size_t at = value.find(variable); at != std::string::npos;
       at = value.find(variable, at + text.size())) {
    value.replace(at, variable.size(), text);
  }
  return value;
}

// The home folder: $HOME, on Windows %USERPROFILE% when HOME is not set.
std::optional<std::string> HomeFolder() {
  const char* home = std::getenv("HOME");
#if defined(_WIN32)
  if (home == nullptr || *home == '\0') home = std::getenv("USERPROFILE");
#endif
  if (home == nullptr || *home == '\0') return std::nullopt;
  std::string folder = home;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

// ${JOBDIR} and ${HOME} anywhere in a value; in a path, a leading "~" alone
// or before a separator is the home folder too. Empty when the value needs a
// home folder and there is none (the caller reports it).
std::optional<std::string> ExpandVariables(std::string value, const std::string& job_folder,
                                           bool is_path) {
  value = ReplaceAll(std::move(value), kJobDirVariable, job_folder);
  const bool tilde = is_path && !value.empty() && value[0] == '~' &&
                     (value.size() == 1 || value[1] == '/' || value[1] == '\\');
  if (value.find(kHomeVariable) == std::string::npos && !tilde) return value;
  const std::optional<std::string> home = HomeFolder();
  if (!home) return std::nullopt;
  if (tilde) value = *home + value.substr(1);
  return ReplaceAll(std::move(value), kHomeVariable, *home);
}

bool IsPathForm(ValueForm form) {
  return form == ValueForm::kFolderPath || form == ValueForm::kFilePath;
}

// "0, 1 or 2"; bit masks such as Warnings in hexadecimal.
std::string AllowedText(const KeyRule& rule) {
  if (rule.allowed.empty()) return std::to_string(rule.min) + ".." + std::to_string(rule.max);
  const bool hex = rule.allowed.back() > 9;
  std::string text;
  for (size_t i = 0; i < rule.allowed.size(); ++i) {
    if (i > 0) text += i + 1 == rule.allowed.size() ? " or " : ", ";
    char number[16];
    std::snprintf(number, sizeof number, hex ? "0x%02X" : "%d", static_cast<int>(rule.allowed[i]));
    text += number;
  }
  return text;
}

// "copy, ignore or erase" for the names of the allowed values.
std::string NamesText(const KeyRule& rule) {
  std::vector<std::string> names;
  for (const ValueName& name : rule.names) {
    if (rule.form == ValueForm::kBits || rule.allowed.empty() ||
        std::find(rule.allowed.begin(), rule.allowed.end(), name.value) != rule.allowed.end()) {
      names.push_back(name.name);
    }
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

// A number, or a name of the rule (kBits: names joined by '+').
std::optional<int64_t> NumberOrName(const KeyRule& rule, const std::string& value) {
  if (const auto number = ParseNumber(value)) return number;
  const auto find = [&rule](const std::string& word) -> std::optional<int64_t> {
    for (const ValueName& name : rule.names) {
      if (AsciiLowerText(word) == name.name) return name.value;
    }
    return std::nullopt;
  };
  if (rule.form != ValueForm::kBits) return find(Trim(value));
  int64_t bits = 0;
  size_t start = 0;
  for (;;) {
    const size_t plus = value.find('+', start);
    const auto bit = find(Trim(value.substr(start, plus - start)));
    if (!bit) return std::nullopt;
    bits |= *bit;
    if (plus == std::string::npos) return bits;
    start = plus + 1;
  }
}

bool IsAllowed(const KeyRule& rule, int64_t value) {
  if (rule.allowed.empty()) return value >= rule.min && value <= rule.max;
  for (int64_t allowed : rule.allowed) {
    if (allowed == value) return true;
  }
  return false;
}

bool IsFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < ' ' || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) {
      return false;
    }
  }
  return true;
}

// Parses one value that is not a path. Returns an error message, or "".
std::string ParseValue(const KeyRule& rule, const std::string& value, Setting* setting) {
  const std::string quoted = "\"" + value + "\"";
  switch (rule.form) {
    case ValueForm::kText:
      if (value.empty()) return "needs a value";
      setting->text = value;
      return "";
    case ValueForm::kName:
      if (!IsFolderName(value)) return quoted + " is not a folder name";
      setting->text = value;
      return "";
    case ValueForm::kNumber:
    case ValueForm::kBits: {
      const auto number = NumberOrName(rule, value);
      if (!number) {
        return rule.names.empty() ? quoted + " is not a number"
                                  : quoted + " is not a number or one of " + NamesText(rule);
      }
      if (!IsAllowed(rule, *number)) {
        return value + " is not one of the values " + AllowedText(rule) +
               (rule.names.empty() ? "" : " (" + NamesText(rule) + ")");
      }
      setting->number = static_cast<uint32_t>(*number);
      return "";
    }
    case ValueForm::kFlag:
    case ValueForm::kAutoFlag: {
      if (rule.form == ValueForm::kAutoFlag && AsciiLowerText(value) == "auto") {
        setting->is_auto = true;
        return "";
      }
      const auto flag = ParseFlag(value);
      if (!flag) return quoted + " is not 1 or 0 (yes or no)";
      setting->number = *flag ? 1 : 0;
      return "";
    }
    case ValueForm::kDate: {
      const auto stamp = ParseDate(value);
      if (!stamp) return quoted + " is not a local date \"YYYY-MM-DD HH:MM:SS\" from 1980 to 2107";
      setting->number = *stamp;
      return "";
    }
    case ValueForm::kColour: {
      const auto colour = ParseColour(value);
      if (!colour) return quoted + " is not a colour \"#RRGGBB\"";
      setting->number = *colour;
      return "";
    }
    case ValueForm::kSeparator: {
      const auto separator = ParseSeparator(value);
      if (!separator) return quoted + " is not one character";
      setting->number = static_cast<unsigned char>(*separator);
      return "";
    }
    case ValueForm::kEraseLimit: {
      const auto limit = ParseEraseLimit(value);
      if (!limit) return quoted + " is not none, a count (100), a share (20%) or both (10 and 50%)";
      setting->number = static_cast<uint32_t>(limit->count);
      setting->percent = limit->percent;
      return "";
    }
    case ValueForm::kFolderPath:
    case ValueForm::kFilePath:
      setting->text = value;  // turned into drive form once the drives are known
      return "";
  }
  return "";
}

class JobParser {
 public:
  JobParser(const std::string& path) : file_(path), job_folder_(AbsoluteFolderOf(path)) {
    job_.path = path;
  }

  // Reads every section and key, going on after a fault so that all of them
  // are reported at once; the checks that join several keys run only on a
  // job whose single values are sound.
  std::variant<Job, JobErrors> Parse(const std::string& text) {
    std::vector<IniSection> sections;
    ReadIni(file_, text, &sections, &errors_);
    for (const IniSection& section : sections) ReadSection(section);
    ResolveKeys();
    ResolveLists();
    ResolvePaths();
    if (errors_.empty()) CheckCombinations();
    if (!errors_.empty()) {
      SortInFileOrder(&errors_);
      return std::move(errors_);
    }
    WarnAboutKeysWithoutEffect();
    WarnAboutEmptyLists();
    SortInFileOrder(&job_.warnings);
    return std::move(job_);
  }

 private:
  bool Fail(int line, const std::string& key, const std::string& message) {
    errors_.push_back(JobError{file_, line, key, message});
    return false;
  }
  void Warn(int line, const std::string& key, const std::string& message) {
    job_.warnings.push_back(JobError{file_, line, key, message});
  }

  // The value with its variables replaced; nullopt (and a fault) when it
  // needs a home folder and none is known.
  std::optional<std::string> Expanded(const std::string& value, bool is_path, int line,
                                      const std::string& key) {
    auto expanded = ExpandVariables(value, job_folder_, is_path);
    if (!expanded) Fail(line, key, "\"" + value + "\" needs the home folder, but HOME is not set");
    return expanded;
  }

  void ReadSection(const IniSection& section) {
    const std::string name = AsciiLowerText(section.name);
    if (!seen_sections_.emplace(name, section.line).second) {
      Fail(section.line, "[" + section.name + "]",
           "section given twice (first on line " + std::to_string(seen_sections_[name]) + ")");
      return;
    }
    if (name == "job") return ReadKeys(section);
    if (name == "drives") return ReadDrives(section);
    for (int list = 0; list < kListCount; ++list) {
      if (name == AsciiLowerText(kListNames[list])) return ReadList(section, list);
    }
    Fail(section.line, "[" + section.name + "]",
         "unknown section (sections: [Job], [Drives], [DInclSels], [DExclSels], "
         "[FInclSels], [FExclSels])");
  }

  void ReadKeys(const IniSection& section) {
    for (const IniLine& line : section.lines) {
      if (!line.has_equals || line.key.empty()) {
        Fail(line.line, "", "\"" + line.text + "\" is not \"Key = Value\"");
        continue;
      }
      const KeyRule* rule = FindRule(line.key);
      if (!rule) {
        Fail(line.line, line.key, "unknown key (tolvex --help lists the keys)");
        continue;
      }
      const auto value = Expanded(line.value, IsPathForm(rule->form), line.line, rule->key);
      if (!value) continue;
      auto [it, fresh] = raw_.emplace(rule->key, RawValue{line.line, *value});
      if (!fresh) {
        Fail(line.line, rule->key,
             "given twice (first on line " + std::to_string(it->second.line) + ")");
      }
    }
  }

  void ReadDrives(const IniSection& section) {
#if defined(_WIN32)
    Fail(section.line, "[Drives]", "the drive table is for Linux; Windows has its own drives");
#else
    for (const IniLine& line : section.lines) {
      if (!line.has_equals || line.key.size() != 1) {
        Fail(line.line, "[Drives]", "\"" + line.text + "\" is not \"Letter = /folder\"");
        continue;
      }
      // "E = mounted /media/usb": the folder must be a mount point with a
      // disk on it, or the drive is not ready.
      std::string value = line.value;
      const bool mounted = value.rfind("mounted ", 0) == 0;
      if (mounted) value.erase(0, value.find_first_not_of(' ', 7));
      const auto folder = Expanded(value, true, line.line, "[Drives] " + line.key);
      if (!folder) continue;
      if (auto error = job_.drives.AddDrive(line.key[0], *folder, mounted)) {
        Fail(line.line, "[Drives] " + line.key, *error);
      }
    }
#endif
  }

  void ReadList(const IniSection& section, int list) {
    const bool folders = list == kDIncl || list == kDExcl;
    const std::string key = std::string("[") + kListNames[list] + "]";
    list_lines_[list] = section.line;
    for (const IniLine& line : section.lines) {
      const auto value = Expanded(line.text, folders, line.line, key);
      if (value) raw_lists_[list].push_back({line.line, *value});
    }
  }

  static const KeyRule* FindRule(const std::string& key) {
    for (const KeyRule& rule : JobKeys()) {
      if (AsciiLowerText(key) == AsciiLowerText(rule.key)) return &rule;
    }
    return nullptr;
  }

  void ResolveKeys() {
    for (const KeyRule& rule : JobKeys()) {
      Setting setting;
      setting.rule = &rule;
      const auto raw = raw_.find(rule.key);
      if (raw != raw_.end()) {
        setting.line = raw->second.line;
        const std::string error = ParseValue(rule, raw->second.value, &setting);
        if (!error.empty()) Fail(setting.line, rule.key, error);
      } else if (*rule.default_text) {
        ParseValue(rule, rule.default_text, &setting);
        setting.note = "default";
      }
      job_.settings.push_back(setting);
    }
  }

  void ResolveLists() {
    for (int list = 0; list < kListCount; ++list) {
      const bool folders = list == kDIncl || list == kDExcl;
      for (const RawValue& entry : raw_lists_[list]) {
        std::string value = entry.value;
        const std::string key = std::string("[") + kListNames[list] + "]";
        if (folders) {
          std::string error;
          const auto drive_form = job_.drives.ToDriveForm(value, PathKind::kSelection, &error);
          if (!drive_form) {
            Fail(entry.line, key, error);
            continue;
          }
          value = *drive_form;
        } else if (value.find_first_of("/\\") != std::string::npos) {
          Fail(entry.line, key, "\"" + value + "\" is a file name pattern (\"*.txt\"), not a path");
          continue;
        }
        job_.lists[list].push_back(value);
        job_list_lines_[list].push_back(entry.line);
      }
    }
  }

  bool ResolvePath(const char* key, PathKind kind) {
    Setting& setting = job_.Get(key);
    if (setting.text.empty()) return true;
    std::string error;
    const auto drive_form = job_.drives.ToDriveForm(setting.text, kind, &error);
    if (!drive_form) return Fail(setting.line, key, error);
    setting.text = *drive_form;
    return true;
  }

  void ResolvePaths() {
    const Setting& destination = job_.Get("Destination");
    if (destination.text.empty()) {
      Fail(destination.line, "Destination", "missing: the job needs a destination folder in [Job]");
    } else {
      ResolvePath("Destination", PathKind::kFolder);
    }
    if (ResolvePath("LogFile", PathKind::kFile)) CheckLogFolder();
  }

  // The engine runs silently without a log it cannot open: a job whose log
  // folder is missing would never show its log, so it is refused.
  bool CheckLogFolder() {
    const Setting& log_file = job_.Get("LogFile");
    if (log_file.text.empty()) return true;
    const std::filesystem::path native(job_.drives.ToNative(log_file.text));
    std::error_code error;
    if (!std::filesystem::is_directory(native.parent_path(), error)) {
      return Fail(log_file.line, "LogFile",
                  "the folder \"" + native.parent_path().string() + "\" does not exist");
    }
    return true;
  }

  void CheckCombinations() {
    Setting& name = job_.Get("Filename");
    if (name.line == 0) {
      name.text = std::filesystem::path(file_).filename().string();
      name.note = "the job file's name";
    }
    Setting& log_active = job_.Get("LogActive");
    const bool has_log_file = !job_.Get("LogFile").text.empty();
    if (log_active.line == 0) {
      log_active.number = has_log_file ? 1 : 0;
      log_active.note = has_log_file ? "LogFile is given" : "no LogFile";
    } else if (log_active.number != 0 && !has_log_file) {
      Fail(log_active.line, "LogActive", "a log needs a LogFile");
    }
    CheckDestinationLength();
    CheckDestinationOutsideSources();
  }

  // Keys the job writes that the engine reads only in another mode: the
  // orphan mode of another update direction, the weekday of another vary
  // mode. The job runs as written; the warning says what it will not do.
  void WarnAboutKeysWithoutEffect() {
    const uint32_t touch = job_.Get("TouchMode").number;
    const struct {
      const char* key;
      uint32_t touch_mode;
    } orphan_modes[] = {{"OrphanModeD1", 0}, {"OrphanModeD2", 0}, {"OrphanModeB", 1},
                        {"OrphanModeS1", 2}, {"OrphanModeS2", 2}};
    const KeyRule* touch_rule = FindRule("TouchMode");
    for (const auto& orphan : orphan_modes) {
      const Setting& setting = job_.Get(orphan.key);
      if (setting.line == 0 || orphan.touch_mode == touch) continue;
      Warn(setting.line, orphan.key,
           "has no effect with TouchMode " + NameOfValue(*touch_rule, touch) + "; it applies to "
           "TouchMode " + NameOfValue(*touch_rule, orphan.touch_mode));
    }
    const Setting& weekday = job_.Get("Weekday");
    if (weekday.line != 0 && job_.Get("VaryMode").number != 2) {
      Warn(weekday.line, "Weekday", "has no effect: only VaryMode weekday uses it");
    }
  }

  // The engine stops at once without a folder to scan or a file pattern; a
  // job that says nothing of either is most likely unfinished.
  void WarnAboutEmptyLists() {
    if (job_.lists[kFIncl].empty()) {
      Warn(list_lines_[kFIncl], "[FInclSels]",
           "no file pattern: the run will stop at once; write *.* to take every file");
    }
    if (job_.lists[kDIncl].empty()) {
      Warn(list_lines_[kDIncl], "[DInclSels]", "no folder: the run will stop at once");
    }
  }

  // A destination inside a source subtree would be scanned as source: every
  // run would copy the backup into itself once more. It must be excluded.
  bool CheckDestinationOutsideSources() {
    const Setting& destination = job_.Get("Destination");
    for (size_t i = 0; i < job_.lists[kDIncl].size(); ++i) {
      const std::string& include = job_.lists[kDIncl][i];
      const bool subtree = include.back() == '*';
      const std::string folder = subtree ? include.substr(0, include.size() - 1) : include;
      const bool inside = subtree ? StartsWithFolder(destination.text, folder)
                                  : AsciiLowerText(destination.text) == AsciiLowerText(folder);
      if (inside && !IsExcluded(destination.text)) {
        return Fail(destination.line, "Destination",
                    "lies inside the source selection \"" + job_.drives.ToNative(include) +
                        "\" (line " + std::to_string(job_list_lines_[kDIncl][i]) +
                        "): exclude it in [DExclSels] with its folder followed by \"*\"");
      }
    }
    return true;
  }

  bool IsExcluded(const std::string& folder) const {
    for (const std::string& exclude : job_.lists[kDExcl]) {
      if (exclude.back() == '*' && StartsWithFolder(folder, exclude.substr(0, exclude.size() - 1))) {
        return true;
      }
    }
    return false;
  }

  // Drive-form folders, both ending in a backslash; letter case does not
  // count, as on Windows.
  static bool StartsWithFolder(const std::string& path, const std::string& folder) {
    return path.size() >= folder.size() &&
           AsciiLowerText(path.substr(0, folder.size())) == AsciiLowerText(folder);
  }

  bool CheckDestinationLength() {
    const Setting& destination = job_.Get("Destination");
    const uint32_t vary_mode = job_.Get("VaryMode").number;
    size_t room = vary_mode == 0 ? 0 : kGenerationRoom;
    if (vary_mode == 2) room += job_.Get("Weekday").line ? job_.Get("Weekday").text.size() : 9;
    if (destination.text.size() + room > kMaxPath) {
      return Fail(destination.line, "Destination",
                  "too long: with VaryMode " + std::to_string(vary_mode) + " at most " +
                      std::to_string(kMaxPath - room) + " characters in drive form");
    }
    return true;
  }

  std::string file_;
  std::string job_folder_;
  Job job_;
  JobErrors errors_;
  std::map<std::string, int> seen_sections_;
  std::map<std::string, RawValue> raw_;
  std::array<std::vector<RawValue>, kListCount> raw_lists_;
  std::array<int, kListCount> list_lines_{};  // the line of each list's header (0: none)
  std::array<std::vector<int>, kListCount> job_list_lines_;  // the line of each kept entry
};

}  // namespace

std::string AbsoluteFolderOf(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  return absolute.lexically_normal().parent_path().string();
}

std::variant<Job, JobErrors> ParseJob(const std::string& path, const std::string& text) {
  return JobParser(path).Parse(text);
}

std::variant<Job, JobErrors> LoadJob(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return JobErrors{JobError{path, 0, "", "cannot be read"}};
  return ParseJob(path, text);
}

}  // namespace tolvex::frontend
