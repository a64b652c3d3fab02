#include "frontend/drive_map.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "frontend/value_forms.h"
#if !defined(_WIN32)
#include "platform/posix/host_names.h"
#include "platform/posix/mount_points.h"
#endif

namespace tolvex::frontend {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Splits off a trailing "*" of a selection. False when a "*" does not follow
// a separator (a pattern such as "/data*" names no folder).
bool SplitStar(std::string* path, bool* star, std::string* error) {
  *star = !path->empty() && path->back() == '*';
  if (!*star) return true;
  path->pop_back();
  if (path->empty() || !IsSeparator(path->back())) {
    *error = "a '*' may only follow a folder separator (\"/data/*\")";
    return false;
  }
  return true;
}

std::string WithEnding(std::string path, char separator, PathKind kind, bool star) {
  if (kind != PathKind::kFile && path.back() != separator) path += separator;
  if (star) path += '*';
  return path;
}

// A drive-form path as the engine wants it: backslashes, normalized.
std::optional<std::string> CleanDriveForm(std::string path, PathKind kind, std::string* error) {
  bool star = false;
  if (kind == PathKind::kSelection && !SplitStar(&path, &star, error)) return std::nullopt;
  std::replace(path.begin(), path.end(), '/', '\\');
  path[0] = UpperLetter(path[0]);
  path = NormalizePath(path, '\\', 3);
  if (kind == PathKind::kFile && path.size() <= 3) {
    *error = "names a drive, not a file";
    return std::nullopt;
  }
  return WithEnding(path, '\\', kind, star);
}

// "/a/b" lies in "/a" (and in "/"); "/ab" does not lie in "/a".
bool LiesIn(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

// The first name of a drive-form path ("C:\a\b\", an optional final "*"
// of a selection left out) that no file or folder can have: one holding
// \ / : * ? " < > | or a control character. The engine would skip such a
// selection, or fail every copy into such a destination, without a word.
std::optional<std::string> UnusableName(const std::string& drive_form, PathKind kind,
                                        std::string* error) {
  std::string names = drive_form.substr(3);
  if (kind == PathKind::kSelection && !names.empty() && names.back() == '*') names.pop_back();
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find('\\', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(start, end - start);
    for (const unsigned char c : name) {
      if (c >= ' ' && std::string("/:*?\"<>|").find(static_cast<char>(c)) == std::string::npos) {
        continue;
      }
      *error = "\"" + name + "\" cannot be the name of a folder or file (it holds " +
               (c < ' ' ? std::string("a control character") : "'" + std::string(1, c) + "'") +
               ")";
      return name;
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::string NormalizePath(const std::string& path, char separator, size_t root_length) {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (size_t i = root_length; i < path.size(); ++i) {
    if (IsSeparator(path[i])) {
      flush();
    } else {
      part += path[i];
    }
  }
  flush();
  std::string result = path.substr(0, root_length);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += separator;
    result += parts[i];
  }
  return result;
}

bool IsDriveForm(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
         path[1] == ':' && IsSeparator(path[2]);
}

std::string FileSystemRoot(const std::string& native) {
  auto parent = [](const std::string& p) {
    const size_t slash = p.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : p.substr(0, slash);
  };
  std::string existing = native;
  struct stat info {};
  while (stat(existing.c_str(), &info) != 0 && existing != "/") existing = parent(existing);
#if !defined(_WIN32)
  const posix::MountRules rules = posix::CurrentMountRules();
  if (existing != "/" && posix::AwaitsMount(existing, false, rules)) {
    // The highest folder on the way that still waits: the mount point.
    while (parent(existing) != "/" && posix::AwaitsMount(parent(existing), false, rules)) {
      existing = parent(existing);
    }
    return existing;
  }
#endif
  const dev_t device = info.st_dev;
  std::string root = existing;
  while (root != "/") {
    const std::string up = parent(root);
    struct stat up_info {};
    if (stat(up.c_str(), &up_info) != 0 || up_info.st_dev != device) break;
    root = up;
  }
  return root;
}

std::optional<std::string> DriveMap::AddDrive(char letter, const std::string& native_folder,
                                               bool must_be_mounted) {
  letter = UpperLetter(letter);
  if (letter < 'A' || letter > 'Z') return "a drive is one letter from A to Z";
  if (FindLetter(letter)) return std::string("drive ") + letter + ": is given twice";
  if (native_folder.empty() || native_folder[0] != '/') {
    return "the folder \"" + native_folder + "\" is not an absolute path";
  }
  if (native_folder.find(';') != std::string::npos) {
    return "a drive folder cannot contain ';'";
  }
  const std::string folder = NormalizePath(native_folder, '/', 1);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return "the folder \"" + folder + "\" does not exist";
  }
  drives_.push_back({letter, folder, false, must_be_mounted});
  return std::nullopt;
}

std::optional<std::string> DriveMap::ToDriveForm(const std::string& path, PathKind kind,
                                                 std::string* error) {
  std::optional<std::string> drive_form = DriveFormOf(path, kind, error);
  if (drive_form && UnusableName(*drive_form, kind, error)) return std::nullopt;
  return drive_form;
}

std::optional<std::string> DriveMap::DriveFormOf(const std::string& path, PathKind kind,
                                                 std::string* error) {
  if (IsDriveForm(path)) return CleanDriveForm(path, kind, error);
#if defined(_WIN32)
  *error = "\"" + path + "\" is not an absolute path with a drive letter (C:\\...)";
  return std::nullopt;
#else
  if (path.empty() || path[0] != '/') {
    *error = "\"" + path + "\" is not an absolute path";
    return std::nullopt;
  }
  std::string native = path;
  bool star = false;
  if (kind == PathKind::kSelection && !SplitStar(&native, &star, error)) return std::nullopt;
  native = NormalizePath(native, '/', 1);
  const Drive* drive = ContainingDrive(native);
  if (!drive) {
    const auto letter = AutomaticLetter(native, error);
    if (!letter) return std::nullopt;
    drive = FindLetter(*letter);
  }
  std::string rest = drive->folder == "/" ? native.substr(1) : native.substr(drive->folder.size());
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  if (kind == PathKind::kFile && rest.empty()) {
    *error = "\"" + path + "\" names a folder, not a file";
    return std::nullopt;
  }
  std::replace(rest.begin(), rest.end(), '/', '\\');
  return WithEnding(std::string(1, drive->letter) + ":\\" + rest, '\\', kind, star);
#endif
}

#if !defined(_WIN32)
namespace {

// `path` ('/' between names) with each name that travels mapped (a name
// Windows cannot hold, platform/posix/host_names.h) as it is on disk.
std::string NamesOnDisk(const std::string& path) {
  std::string out;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(at, end - at);
    std::string on_disk;
    out += posix::HoldsMappedCharacter(name) && posix::HostNameOf(name, &on_disk) ? on_disk : name;
    if (end < path.size()) out += '/';
    at = end + 1;
  }
  return out;
}

}  // namespace
#endif

std::string DriveMap::ToNative(const std::string& drive_path) const {
#if defined(_WIN32)
  return drive_path;
#else
  if (!IsDriveForm(drive_path)) return drive_path;
  const Drive* drive = FindLetter(UpperLetter(drive_path[0]));
  if (!drive) return drive_path;
  std::string rest = drive_path.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  if (posix::HoldsMappedCharacter(rest)) rest = NamesOnDisk(rest);
  if (drive->folder == "/") return "/" + rest;
  return rest.empty() ? drive->folder + "/" : drive->folder + "/" + rest;
#endif
}

std::vector<std::string> DriveMap::DriveFormsOf(const std::string& native) const {
#if defined(_WIN32)
  if (!IsDriveForm(native)) return {};
  std::string path = native;
  std::replace(path.begin(), path.end(), '/', '\\');
  return {path};
#else
  if (native.empty() || native[0] != '/') return {};
  const std::string normal = NormalizePath(native, '/', 1);
  std::vector<Drive> drives = drives_;
  if (drives.empty()) drives.push_back({'Z', "/", false});
  std::vector<std::string> forms;
  for (const Drive& drive : drives) {
    if (!LiesIn(normal, drive.folder) || normal == drive.folder) continue;
    std::string rest = drive.folder == "/" ? normal.substr(1) : normal.substr(drive.folder.size() + 1);
    std::replace(rest.begin(), rest.end(), '/', '\\');
    forms.push_back(std::string(1, drive.letter) + ":\\" + rest);
  }
  return forms;
#endif
}

std::string DriveMap::FolderOf(char letter) const {
  const Drive* drive = FindLetter(UpperLetter(letter));
  return drive ? drive->folder : std::string();
}

std::string DriveMap::EnvironmentValue() const {
  std::string value;
  for (const Drive& drive : drives_) {
    if (!value.empty()) value += ';';
    value += std::string(1, drive.letter) + "=" + (drive.must_be_mounted ? "mounted " : "") +
             drive.folder;
  }
  return value;
}

const Drive* DriveMap::FindLetter(char letter) const {
  for (const Drive& drive : drives_) {
    if (drive.letter == letter) return &drive;
  }
  return nullptr;
}

// The job's own drive whose folder holds `native`; the deepest one when
// several do. Automatic drives are matched by file system instead: one for
// "/" must not swallow the paths of a file system mounted below it.
const Drive* DriveMap::ContainingDrive(const std::string& native) const {
  const Drive* best = nullptr;
  for (const Drive& drive : drives_) {
    if (drive.automatic) continue;
    if (LiesIn(native, drive.folder) && (!best || drive.folder.size() > best->folder.size())) {
      best = &drive;
    }
  }
  return best;
}

std::optional<char> DriveMap::AutomaticLetter(const std::string& native, std::string* error) {
  const std::string root = FileSystemRoot(native);
  for (const Drive& drive : drives_) {
    if (drive.automatic && drive.folder == root) return drive.letter;
  }
  if (root.find(';') != std::string::npos) {
    *error = "the file system folder \"" + root + "\" contains ';'";
    return std::nullopt;
  }
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if (!FindLetter(letter)) {
      drives_.push_back({letter, root, true, false});
      return letter;
    }
  }
  *error = "no drive letter is left for \"" + root + "\"";
  return std::nullopt;
}

}  // namespace tolvex::frontend
