#include "platform/posix/mount_points.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace tolvex::posix {

namespace {

// fstab and mounts write a space in a path as "\040" (octal escapes).
std::string Unescaped(const std::string& field) {
  std::string text;
  for (size_t k = 0; k < field.size(); ++k) {
    const bool octal = field[k] == '\\' && k + 3 < field.size() &&
                       field.substr(k + 1, 3).find_first_not_of("01234567") == std::string::npos;
    if (octal) {
      text.push_back(static_cast<char>(std::strtol(field.substr(k + 1, 3).c_str(), nullptr, 8)));
      k += 3;
    } else {
      text.push_back(field[k]);
    }
  }
  return text;
}

std::string WithoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The real place of `folder`, or the text itself when it cannot be found.
std::string RealFolder(const std::string& folder) {
  char* resolved = realpath(folder.c_str(), nullptr);
  if (!resolved) return WithoutTrailingSlashes(folder);
  std::string real = resolved;
  free(resolved);
  return real;
}

// The second field of each line: the mount point (fstab and mounts alike).
// "none" and swap areas mount nothing on a folder.
std::set<std::string> MountPointsIn(const std::string& table) {
  std::set<std::string> points;
  std::ifstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device;
    std::string point;
    if (!(fields >> device >> point) || device.empty() || device[0] == '#') continue;
    point = Unescaped(point);
    if (point.empty() || point[0] != '/') continue;
    points.insert(RealFolder(point));
  }
  return points;
}

std::string ParentOf(const std::string& folder) {
  const size_t slash = folder.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

bool Below(const std::string& folder, const std::string& root) {
  return root != "/" && folder.size() > root.size() &&
         folder.compare(0, root.size(), root) == 0 && folder[root.size()] == '/';
}

}  // namespace

bool AwaitsMount(const std::string& folder, bool must_be_mount_point, const MountRules& rules) {
  const std::string real = RealFolder(folder);
  const std::set<std::string> mounted = MountPointsIn(rules.mounts);
  const auto is_mounted = [&mounted](const std::string& path) {
    if (path == "/" || mounted.count(path) != 0) return true;
    struct stat own {};
    struct stat parent {};
    return stat(path.c_str(), &own) == 0 && stat(ParentOf(path).c_str(), &parent) == 0 &&
           own.st_dev != parent.st_dev;
  };
  if (must_be_mount_point && !is_mounted(real)) return true;
  const std::set<std::string> known = rules.fstab.empty() ? std::set<std::string>()
                                                          : MountPointsIn(rules.fstab);
  for (std::string path = real; path != "/"; path = ParentOf(path)) {
    if (known.count(path) != 0 && !is_mounted(path)) return true;
  }
  for (const std::string& root_text : rules.roots) {
    const std::string root = RealFolder(root_text);
    if (!Below(real, root)) continue;
    bool any_mounted = false;
    for (std::string path = real; path != root && !any_mounted; path = ParentOf(path)) {
      any_mounted = is_mounted(path);
    }
    if (!any_mounted) return true;
  }
  return false;
}

MountRules CurrentMountRules() {
  const char* text = std::getenv("TOLVEX_TEST_MOUNTS");
  if (text == nullptr) return MountRules();
  MountRules rules;
  rules.fstab.clear();
  rules.mounts.clear();
  rules.roots.clear();
  std::istringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ';')) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = part.substr(0, equals);
    const std::string value = part.substr(equals + 1);
    if (key == "fstab") rules.fstab = value;
    if (key == "mounts") rules.mounts = value;
    if (key == "roots") {
      std::istringstream roots(value);
      std::string root;
      while (std::getline(roots, root, ':')) {
        if (!root.empty()) rules.roots.push_back(root);
      }
    }
  }
  return rules;
}

}  // namespace tolvex::posix
