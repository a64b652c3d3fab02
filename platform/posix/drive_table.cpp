#include "platform/posix/drive_table.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string_view>

#include "platform/posix/mount_points.h"

namespace tolvex::posix {

namespace {

int LetterIndex(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  return -1;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string WithoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool SplitDrivePath(const std::string& path, DrivePath* out) {
  if (path.size() < 2 || path[1] != ':' || LetterIndex(path[0]) < 0) return false;
  out->letter = static_cast<char>('A' + LetterIndex(path[0]));
  out->names.clear();
  out->trailing_separator = path.size() > 2 && IsSeparator(path.back());
  size_t at = 2;
  while (at < path.size()) {
    while (at < path.size() && IsSeparator(path[at])) ++at;
    size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view name = std::string_view(path).substr(at, end - at);
    at = end;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!out->names.empty()) out->names.pop_back();
      continue;
    }
    out->names.emplace_back(name);
  }
  return true;
}

DriveTable DriveTable::Parse(const std::string& text) {
  DriveTable table;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(';', at);
    if (end == std::string::npos) end = text.size();
    const std::string entry = Trimmed(text.substr(at, end - at));
    at = end + 1;
    const size_t equals = entry.find('=');
    if (equals == std::string::npos) continue;
    const std::string letter = Trimmed(entry.substr(0, equals));
    std::string folder = Trimmed(entry.substr(equals + 1));
    constexpr std::string_view kMounted = "mounted ";
    const bool mounted = folder.compare(0, kMounted.size(), kMounted) == 0;
    if (mounted) folder = Trimmed(folder.substr(kMounted.size()));
    // A relative folder would move with the current directory.
    if (letter.size() != 1 || LetterIndex(letter[0]) < 0 || folder.empty() || folder[0] != '/') {
      continue;
    }
    table.roots_[LetterIndex(letter[0])] = WithoutTrailingSlashes(folder);
    table.must_be_mount_point_[LetterIndex(letter[0])] = mounted;
  }
  return table;
}

DriveTable DriveTable::FromEnvironment() {
  const char* text = std::getenv("TOLVEX_DRIVES");
  DriveTable table = Parse(text ? text : "Z=/");
  table.MarkDrivesAwaitingMount(CurrentMountRules());
  return table;
}

void DriveTable::MarkDrivesAwaitingMount(const MountRules& rules) {
  for (size_t k = 0; k < roots_.size(); ++k) {
    struct stat info {};
    // A folder that is missing is no drive at all (3), not one waiting.
    not_ready_[k] = !roots_[k].empty() && stat(roots_[k].c_str(), &info) == 0 &&
                    S_ISDIR(info.st_mode) && AwaitsMount(roots_[k], must_be_mount_point_[k], rules);
  }
}

bool DriveTable::MustBeMountPoint(char letter) const {
  const int index = LetterIndex(letter);
  return index >= 0 && must_be_mount_point_[index];
}

bool DriveTable::NotReady(char letter) const {
  const int index = LetterIndex(letter);
  return index >= 0 && not_ready_[index];
}

const std::string* DriveTable::Root(char letter) const {
  const int index = LetterIndex(letter);
  if (index < 0 || roots_[index].empty()) return nullptr;
  return &roots_[index];
}

}  // namespace tolvex::posix
