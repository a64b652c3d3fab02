#include "tests/differential_tree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/reserved_names.h"

namespace tolvex::runtest {

namespace fs = std::filesystem;

namespace {

std::string ReadNative(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Walk(const fs::path& native, const std::string& drive_path, Tree* tree) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(native, error)) {
    const std::string name = entry.path().filename().string();
    const std::string path = drive_path + name;
    const fs::file_status status = entry.symlink_status(error);
    TreeEntry item;
    if (fs::is_symlink(status)) {
      item.type = TreeEntry::kLink;
      item.content = fs::read_symlink(entry.path(), error).string();
    } else if (fs::is_directory(status)) {
      (*tree)[path + "\\"] = TreeEntry{TreeEntry::kFolder, "", 0};
      Walk(entry.path(), path + "\\", tree);
      continue;
    } else if (fs::is_regular_file(status)) {
      item.content = ReadNative(entry.path());
      item.time = fs::last_write_time(entry.path(), error).time_since_epoch().count();
      item.mode = static_cast<unsigned>(status.permissions());
    } else {
      item.type = TreeEntry::kOther;
    }
    (*tree)[path] = item;
  }
}

}  // namespace

Tree SnapshotDrives(const TestDrives& drives, const std::string& letters) {
  Tree tree;
  for (const char letter : letters) {
    const std::string root = TestDrives::Root(letter);
    Walk(fs::path(drives.Native(root)), root, &tree);
  }
  return tree;
}

std::string Caseless(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return lower;
}

bool Below(const std::string& path, const std::string& folder, bool exact) {
  if (path.size() < folder.size()) return false;
  const std::string head = path.substr(0, folder.size());
  return exact ? head == folder : Caseless(head) == Caseless(folder);
}

const TreeEntry* Find(const Tree& tree, const std::string& path, std::string* found) {
  const auto exact = tree.find(path);
  if (exact != tree.end()) {
    if (found) *found = exact->first;
    return &exact->second;
  }
  const std::string key = Caseless(path);
  const TreeEntry* match = nullptr;
  for (const auto& [name, entry] : tree) {
    if (Caseless(name) != key) continue;
    if (match) return nullptr;
    match = &entry;
    if (found) *found = name;
  }
  return match;
}

bool IsReservedName(const std::string& path) {
  const std::string name = path.substr(path.rfind('\\') + 1);
  return name == kRunLockName ||
         (name.size() == kTempNameLength && name.compare(0, sizeof(kTempPrefix) - 1, kTempPrefix) == 0);
}

}  // namespace tolvex::runtest
