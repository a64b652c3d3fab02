#include "platform/native_path.h"

#include "platform/posix/drive_table.h"

namespace tolvex {

std::string NativePathOf(const std::string& path) {
  posix::DrivePath parts;
  const posix::DriveTable table = posix::DriveTable::FromEnvironment();
  const std::string* root = posix::SplitDrivePath(path, &parts) ? table.Root(parts.letter) : nullptr;
  if (root == nullptr) return path;
  std::string native = *root == "/" ? "" : *root;
  for (const std::string& name : parts.names) native += "/" + name;
  return native.empty() ? "/" : native;
}

}  // namespace tolvex
