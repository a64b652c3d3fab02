#include "frontend/job_file.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>

#include "frontend/value_forms.h"

namespace tolvex::frontend {

std::string JobError::Format() const {
  std::string text = file;
  if (line > 0) text += ":" + std::to_string(line);
  if (!key.empty()) text += ": " + key;
  return text + ": " + message;
}

std::string JobError::FormatAsWarning() const {
  JobError warning = *this;
  warning.message = "warning: " + message;
  return warning.Format();
}

namespace {

bool IsComment(const std::string& line) {
  return line.empty() || line[0] == ';' || line[0] == '#';
}

IniLine SplitLine(int number, const std::string& text) {
  IniLine line;
  line.line = number;
  line.text = text;
  const size_t equals = text.find('=');
  if (equals != std::string::npos) {
    line.has_equals = true;
    line.key = Trim(text.substr(0, equals));
    line.value = Trim(text.substr(equals + 1));
  }
  return line;
}

}  // namespace

void SortInFileOrder(JobErrors* errors) {
  std::stable_sort(errors->begin(), errors->end(), [](const JobError& a, const JobError& b) {
    const int first = a.line == 0 ? INT_MAX : a.line;
    const int second = b.line == 0 ? INT_MAX : b.line;
    return first < second;
  });
}

void ReadIni(const std::string& file, const std::string& text, std::vector<IniSection>* sections,
             JobErrors* errors) {
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  bool in_section = false;  // false before the first section and in a malformed one
  while (std::getline(in, raw)) {
    ++number;
    const std::string line = Trim(raw);
    if (IsComment(line)) continue;
    if (line[0] == '[') {
      in_section = line.back() == ']' && line.size() >= 3;
      if (!in_section) {
        errors->push_back({file, number, "", "a section header is written \"[Name]\""});
        continue;
      }
      sections->push_back({Trim(line.substr(1, line.size() - 2)), number, {}});
      continue;
    }
    if (!in_section) {
      if (sections->empty()) {
        errors->push_back({file, number, "", "a line before the first section (start with [Job])"});
      }
      continue;
    }
    sections->back().lines.push_back(SplitLine(number, line));
  }
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return !in.bad();
}

}  // namespace tolvex::frontend
