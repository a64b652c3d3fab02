// The job file's syntax: a plain INI file. "[Section]" lines open sections;
// in a section each line is "Key = Value" or, in the list sections, one
// entry. Blank lines and lines starting with ';' or '#' are ignored.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvex::frontend {

// A fault in a job file: where it is and what is wrong. Printed as
// "FILE:LINE: KEY: message" (line and key left out when they do not apply).
struct JobError {
  std::string file;
  int line = 0;
  std::string key;
  std::string message;

  std::string Format() const;
};

struct IniLine {
  int line = 0;
  std::string text;   // the whole line, trimmed
  std::string key;    // before the first '=', trimmed ("" when there is none)
  std::string value;  // after the first '=', trimmed
  bool has_equals = false;
};

struct IniSection {
  std::string name;  // as written between the brackets, trimmed
  int line = 0;
  std::vector<IniLine> lines;
};

// Splits `text` into sections. A line before the first section, or a
// malformed section header, is an error.
std::optional<JobError> ReadIni(const std::string& file, const std::string& text,
                                std::vector<IniSection>* sections);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text);

}  // namespace tolvex::frontend
