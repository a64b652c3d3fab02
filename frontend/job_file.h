// The job file's syntax: a plain INI file. "[Section]" lines open sections;
// in a section each line is "Key = Value" or, in the list sections, one
// entry. Blank lines and lines starting with ';' or '#' are ignored.
#pragma once

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
  // "FILE:LINE: KEY: warning: message", for what does not stop the job.
  std::string FormatAsWarning() const;
};

// Every fault of one job file, in file order (faults of the whole file,
// such as a missing key, last).
using JobErrors = std::vector<JobError>;
void SortInFileOrder(JobErrors* errors);

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

// Splits `text` into sections. Each line before the first section, and each
// malformed section header, is a fault appended to *errors (the lines of a
// malformed section are skipped).
void ReadIni(const std::string& file, const std::string& text, std::vector<IniSection>* sections,
             JobErrors* errors);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text);

}  // namespace tolvex::frontend
