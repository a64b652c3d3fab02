// Temporary folders mapped as drive letters, for tests that run on the real
// file system through the platform layer.
//
// Natively each letter is a fresh folder below a temporary directory, made
// known to the POSIX back end through TOLVEX_DRIVES. Under Wine the test
// runner (scripts/wine-test.sh) links the letters S: to W: to fresh folders
// in the Wine prefix's dosdevices before it starts the test binary, and this
// class only empties them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvex {

// True when the test binary runs under Wine rather than on Windows or
// natively: the conformance suite then expects Wine's known departures.
bool RunningUnderWine();

class TestDrives {
 public:
  // Maps each letter of `letters` (from S to W) to an empty folder.
  explicit TestDrives(const std::string& letters = "ST");
  ~TestDrives();
  TestDrives(const TestDrives&) = delete;
  TestDrives& operator=(const TestDrives&) = delete;

  // "S:\"
  static std::string Root(char letter);
  // The native path of a path in drive form ("S:\a\b.txt"): the same text on
  // Windows, the mapped folder plus the rest on POSIX.
  std::string Native(const std::string& path) const;

  // Creates the folder and all its parents (drive form, with or without a
  // trailing backslash).
  void MakeDirs(const std::string& path) const;
  // Writes a file (parents created) and, when `stamp` is not 0, sets its
  // last-write time from the packed DOS stamp.
  void WriteFile(const std::string& path, const std::string& content, uint32_t stamp = 0) const;
  // The whole content; empty when missing.
  std::string ReadFile(const std::string& path) const;

  // Bytes written at an offset of a sparse file.
  struct Piece {
    uint64_t offset;
    std::string bytes;
  };
  // Writes a file of `size` bytes (parents created) that holds `pieces` and
  // zeros elsewhere. The zeros are holes where the file system has them, so
  // a file of many GiB costs a few blocks. `stamp` as for WriteFile.
  void WriteSparseFile(const std::string& path, uint64_t size, const std::vector<Piece>& pieces,
                       uint32_t stamp = 0) const;
  // At most `length` bytes from `offset` (fewer at the end of the file;
  // empty when it is missing).
  std::string ReadAt(const std::string& path, uint64_t offset, size_t length) const;
  bool Exists(const std::string& path) const;

  // Makes `link` (drive form, its folder existing) a symbolic link to
  // `target` (drive form). POSIX: symlink; under Wine: a Unix link made by
  // ln (Wine's CreateSymbolicLinkA makes nothing); on Windows:
  // CreateSymbolicLinkA, which needs the right to make links. False when
  // no link could be made.
  bool MakeLink(const std::string& target, const std::string& link) const;
  // Makes a FIFO at `path` (drive form). POSIX: mkfifo; under Wine: a Unix
  // FIFO made by mkfifo. False on Windows, which has none to make.
  bool MakeFifo(const std::string& path) const;

  // Sets the last-write time of an existing file or folder to `unix_seconds`
  // (UTC seconds since 1970) and `nanoseconds` with the system's own call,
  // for times that no stamp can hold (before 1980, after 2107), for odd
  // seconds and for parts of a second (Windows keeps 100 ns).
  void SetNativeWriteTime(const std::string& path, int64_t unix_seconds,
                          uint32_t nanoseconds = 0) const;

 private:
  std::string letters_;
  std::string base_;  // POSIX: the temporary directory holding the letters' folders
  // POSIX: TOLVEX_DRIVES as it was before, restored by the destructor.
  bool had_drives_ = false;
  std::string saved_drives_;
};

// Holds a file as the writer of a temporary file does while it writes it
// (POSIX: an flock on an open file of its own; Windows: an open handle that
// shares no delete access), until destroyed.
class HeldFile {
 public:
  HeldFile(const TestDrives& drives, const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
};

}  // namespace tolvex
