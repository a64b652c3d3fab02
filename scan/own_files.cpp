#include "scan/own_files.h"

#include <cctype>

#include "platform/text_rules.h"

namespace tolvex {

namespace {

// "X:\..." naming a file: a letter, a colon, a backslash and a last name.
bool IsDriveFormFile(const std::string& text) {
  return text.size() > 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         text[2] == '\\' && text.back() != '\\';
}

}  // namespace

OwnFiles::OwnFiles(const TParameters& parameters, const std::string& sync_state_path) {
  // A log that is off is not written by the run: a file of its name is a
  // user's file.
  if (parameters.LogActive && IsDriveFormFile(parameters.LogFile)) {
    paths_.insert(AsciiUpperText(parameters.LogFile));
  }
  if (IsDriveFormFile(sync_state_path)) paths_.insert(AsciiUpperText(sync_state_path));
  for (const STRING& exclude : parameters.FExclSels) {
    if (IsDriveFormFile(exclude.text())) paths_.insert(AsciiUpperText(exclude.text()));
  }
}

bool OwnFiles::Holds(const std::string& folder, std::string_view name) const {
  if (paths_.empty()) return false;
  std::string path = AsciiUpperText(folder);
  path.append(AsciiUpperText(name));
  return paths_.count(path) != 0;
}

}  // namespace tolvex
