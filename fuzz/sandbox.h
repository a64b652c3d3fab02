// The temporary folder a fuzz target works in, and the only file system the
// engine can reach from it.
//
// The sandbox maps each requested drive letter to a fresh folder inside one
// temporary folder (in /dev/shm where there is one), through TOLVEX_DRIVES. With the table set, every other
// letter is unmapped: Z: (the whole file system when no table is set) does
// not exist, nor does any letter the fuzzer makes up, so no path an input
// spells can reach a file outside the sandbox. HOME and XDG_CONFIG_HOME (the
// profile's folder) point inside it too. Before the first input the sandbox
// reads the table back the way the platform layer does and stops the
// process if any mapped root lies outside its temporary folder or if any
// letter it did not ask for resolves: a target must never start on the real
// file system (CI runs as root).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace tolvex::fuzz {

// Prints the violated rule and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Violation(const std::string& what);

class Sandbox {
 public:
  // `letters`: the drive letters to map (A to Y; never Z), may be empty.
  explicit Sandbox(const std::string& letters);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The temporary folder holding everything.
  const std::string& base() const { return base_; }
  // The native folder of a mapped letter.
  std::string Root(char letter) const;
  // A folder inside the sandbox (made on first use), outside every drive.
  std::string Folder(const std::string& name) const;

  // Empties the folder of a mapped letter.
  void Clear(char letter) const;
  // Creates a native file (its folders too) with `content`, dated
  // `unix_seconds`, read-only when asked.
  void WriteFile(const std::string& native, const std::string& content, int64_t unix_seconds,
                 bool read_only = false) const;
  void MakeDirs(const std::string& native) const;

  // The native path a drive-form path leads to with the platform's own
  // splitting ("..", ".", "/" and doubled separators), letters as given;
  // empty when the path names no mapped drive.
  std::string NativeOf(const std::string& drive_path) const;

 private:
  void RefuseToStartOutside() const;

  std::string letters_;
  std::string base_;
};

// What a file or folder was at one moment.
struct EntryState {
  bool folder = false;
  std::string content;  // files only
  int64_t mtime_ns = 0;
  mode_t mode = 0;
  bool operator==(const EntryState&) const = default;
};
// Every entry below `native_root` (not following links), by native path.
using TreeSnapshot = std::map<std::string, EntryState>;
TreeSnapshot SnapshotTree(const std::string& native_root);

// True when `native` is `folder` or lies below it; ASCII letter case does
// not count (the platform finds names in any case).
bool LiesIn(const std::string& native, const std::string& folder);

}  // namespace tolvex::fuzz
