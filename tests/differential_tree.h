// The differential test's view of the test drives: every entry below the
// roots as it is on disk (files with their content and time, folders,
// links with their target, other entries such as pipes), without following
// links, in drive form; and the rules the test knows of job folders.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "testing/test_drives.h"

namespace tolvex::runtest {

struct TreeEntry {
  enum Type : char { kFile = 'f', kFolder = 'd', kLink = 'l', kOther = 'o' };
  Type type = kFile;
  std::string content;  // a file's bytes; a link's target
  int64_t time = 0;     // a file's last-write time (file clock ticks)
  unsigned mode = 0;    // a file's permission bits (read-only on Windows)
  bool operator==(const TreeEntry&) const = default;
};

// By drive-form path ("S:\Data\a.txt"; folders end in a backslash).
using Tree = std::map<std::string, TreeEntry>;

// Every entry on the drives `letters`.
Tree SnapshotDrives(const TestDrives& drives, const std::string& letters);

// ASCII lower case: how the engine compares names.
std::string Caseless(const std::string& text);
// True when `path` is `folder` (with its trailing backslash) or lies below
// it; letter case counts when `exact`.
bool Below(const std::string& path, const std::string& folder, bool exact);
// The entry of `path` in `tree`: the same spelling, or else the only one
// that differs in letter case (nullptr when none or several).
const TreeEntry* Find(const Tree& tree, const std::string& path, std::string* found = nullptr);

// True for the names the engine reserves (its temporary files and its lock).
bool IsReservedName(const std::string& path);

}  // namespace tolvex::runtest
