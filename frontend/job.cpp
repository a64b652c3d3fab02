// Reading a job file into a Job: sections, keys, value forms, value sets,
// paths into drive form, and the checks that join several keys.
#include "frontend/job.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "frontend/value_forms.h"

namespace tolvex::frontend {

namespace {

constexpr const char kJobDirVariable[] = "${JOBDIR}";
// The engine's path limit, and the room the generation folders take.
constexpr size_t kMaxPath = 259;
constexpr size_t kGenerationRoom = 12;

struct RawValue {
  int line = 0;
  std::string value;
};

std::string ExpandJobDir(std::string value, const std::string& job_folder) {
  for (size_t at = value.find(kJobDirVariable); at != std::string::npos;
       at = value.find(kJobDirVariable, at + job_folder.size())) {
    value.replace(at, sizeof kJobDirVariable - 1, job_folder);
  }
  return value;
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
    case ValueForm::kNumber: {
      const auto number = ParseNumber(value);
      if (!number) return quoted + " is not a number";
      if (!IsAllowed(rule, *number)) return value + " is not one of the values " + AllowedText(rule);
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

  std::variant<Job, JobError> Parse(const std::string& text) {
    std::vector<IniSection> sections;
    if (auto error = ReadIni(file_, text, &sections)) return *error;
    for (const IniSection& section : sections) {
      if (!ReadSection(section)) return error_;
    }
    if (!ResolveKeys() || !ResolveLists() || !ResolvePaths() || !CheckCombinations()) {
      return error_;
    }
    return std::move(job_);
  }

 private:
  bool Fail(int line, const std::string& key, const std::string& message) {
    error_ = JobError{file_, line, key, message};
    return false;
  }

  bool ReadSection(const IniSection& section) {
    const std::string name = AsciiLowerText(section.name);
    if (!seen_sections_.emplace(name, section.line).second) {
      return Fail(section.line, "[" + section.name + "]",
                  "section given twice (first on line " + std::to_string(seen_sections_[name]) + ")");
    }
    if (name == "job") return ReadKeys(section);
    if (name == "drives") return ReadDrives(section);
    for (int list = 0; list < kListCount; ++list) {
      if (name == AsciiLowerText(kListNames[list])) return ReadList(section, list);
    }
    return Fail(section.line, "[" + section.name + "]",
                "unknown section (sections: [Job], [Drives], [DInclSels], [DExclSels], "
                "[FInclSels], [FExclSels])");
  }

  bool ReadKeys(const IniSection& section) {
    for (const IniLine& line : section.lines) {
      if (!line.has_equals || line.key.empty()) {
        return Fail(line.line, "", "\"" + line.text + "\" is not \"Key = Value\"");
      }
      const KeyRule* rule = FindRule(line.key);
      if (!rule) return Fail(line.line, line.key, "unknown key (tolvex --help lists the keys)");
      auto [it, fresh] = raw_.emplace(rule->key, RawValue{line.line, ExpandJobDir(line.value, job_folder_)});
      if (!fresh) {
        return Fail(line.line, rule->key,
                    "given twice (first on line " + std::to_string(it->second.line) + ")");
      }
    }
    return true;
  }

  bool ReadDrives(const IniSection& section) {
#if defined(_WIN32)
    return Fail(section.line, "[Drives]", "the drive table is for Linux; Windows has its own drives");
#else
    for (const IniLine& line : section.lines) {
      if (!line.has_equals || line.key.size() != 1) {
        return Fail(line.line, "[Drives]", "\"" + line.text + "\" is not \"Letter = /folder\"");
      }
      if (auto error = job_.drives.AddDrive(line.key[0], ExpandJobDir(line.value, job_folder_))) {
        return Fail(line.line, "[Drives] " + line.key, *error);
      }
    }
    return true;
#endif
  }

  bool ReadList(const IniSection& section, int list) {
    for (const IniLine& line : section.lines) {
      raw_lists_[list].push_back({line.line, ExpandJobDir(line.text, job_folder_)});
    }
    return true;
  }

  static const KeyRule* FindRule(const std::string& key) {
    for (const KeyRule& rule : JobKeys()) {
      if (AsciiLowerText(key) == AsciiLowerText(rule.key)) return &rule;
    }
    return nullptr;
  }

  bool ResolveKeys() {
    for (const KeyRule& rule : JobKeys()) {
      Setting setting;
      setting.rule = &rule;
      const auto raw = raw_.find(rule.key);
      if (raw != raw_.end()) {
        setting.line = raw->second.line;
        const std::string error = ParseValue(rule, raw->second.value, &setting);
        if (!error.empty()) return Fail(setting.line, rule.key, error);
      } else if (*rule.default_text) {
        ParseValue(rule, rule.default_text, &setting);
        setting.note = "default";
      }
      job_.settings.push_back(setting);
    }
    return true;
  }

  bool ResolveLists() {
    for (int list = 0; list < kListCount; ++list) {
      const bool folders = list == kDIncl || list == kDExcl;
      for (const RawValue& entry : raw_lists_[list]) {
        std::string value = entry.value;
        if (folders) {
          std::string error;
          const auto drive_form = job_.drives.ToDriveForm(value, PathKind::kSelection, &error);
          if (!drive_form) return Fail(entry.line, std::string("[") + kListNames[list] + "]", error);
          value = *drive_form;
        } else if (value.find_first_of("/\\") != std::string::npos) {
          return Fail(entry.line, std::string("[") + kListNames[list] + "]",
                      "\"" + value + "\" is a file name pattern (\"*.txt\"), not a path");
        }
        job_.lists[list].push_back(value);
      }
    }
    return true;
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

  bool ResolvePaths() {
    if (job_.Get("Destination").text.empty()) {
      return Fail(0, "Destination", "missing: the job needs a destination folder in [Job]");
    }
    return ResolvePath("Destination", PathKind::kFolder) &&
           ResolvePath("LogFile", PathKind::kFile) && CheckLogFolder();
  }

  // The engine silently runs without a log it cannot open; the command
  // counts failed copies from that log, so its folder must exist.
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

  bool CheckCombinations() {
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
      return Fail(log_active.line, "LogActive", "a log needs a LogFile");
    }
    return CheckDestinationLength() && CheckDestinationOutsideSources();
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
                        "\" (line " + std::to_string(raw_lists_[kDIncl][i].line) +
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
  JobError error_;
  std::map<std::string, int> seen_sections_;
  std::map<std::string, RawValue> raw_;
  std::array<std::vector<RawValue>, kListCount> raw_lists_;
};

}  // namespace

std::string AbsoluteFolderOf(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  return absolute.lexically_normal().parent_path().string();
}

std::variant<Job, JobError> ParseJob(const std::string& path, const std::string& text) {
  return JobParser(path).Parse(text);
}

std::variant<Job, JobError> LoadJob(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return JobError{path, 0, "", "cannot be read"};
  return ParseJob(path, text);
}

}  // namespace tolvex::frontend
