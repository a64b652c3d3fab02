// Paths between the forms a user writes and the engine's drive form.
//
// The engine sees every path as "C:\dir\file" (backslashes, folders ending
// in a backslash). On Windows a job writes paths that way already (forward
// slashes are accepted). On Linux the letters are the POSIX platform layer's
// drive table, which the command hands over in TOLVEX_DRIVES: the job's own
// [Drives] section, plus one automatic letter per file system that a native
// path of the job lies on, so that the engine's space accounting sees two
// drives whenever source and destination lie on two file systems.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvex::frontend {

enum class PathKind {
  kFile,       // a file: no trailing backslash
  kFolder,     // a folder: trailing backslash
  kSelection,  // a folder, optionally followed by "*" (the folder and all below it)
};

struct Drive {
  char letter = 0;
  std::string folder;  // native, absolute, without a trailing slash (except "/")
  bool automatic = false;
  bool must_be_mounted = false;  // [Drives] E = mounted /media/usb
};

class DriveMap {
 public:
  // Adds a drive of the job's [Drives] section (Linux). Returns an error
  // text, or nothing when the drive was added. `must_be_mounted`: the
  // folder must be a mount point with a disk mounted on it, or the drive is
  // not ready and a run stops.
  std::optional<std::string> AddDrive(char letter, const std::string& native_folder,
                                      bool must_be_mounted = false);

  // Turns a path as a job writes it (native, or already in drive form) into
  // the drive form. Relative paths are refused, and so are names no file or
  // folder can have (holding \ / : * ? " < > | or a control character). On
  // Linux a native path outside every drive gets the letter of its file
  // system, assigned on first use from C: upwards.
  std::optional<std::string> ToDriveForm(const std::string& path, PathKind kind,
                                         std::string* error);

  // The native path of a drive-form path, for messages and folder creation
  // (on Windows the same text). A letter outside the table stays as it is.
  std::string ToNative(const std::string& drive_path) const;
  // Every drive-form spelling the table gives the native file `native`
  // (absolute): one per drive whose folder holds it, automatic drives
  // included; "Z:\..." when the table is empty (the platform layer's
  // default table). Adds no drive. On Windows the path itself.
  std::vector<std::string> DriveFormsOf(const std::string& native) const;
  // The native folder of a drive letter ("" when not in the table).
  std::string FolderOf(char letter) const;

  // "C=/home/me;D=/mnt/usb": the value for TOLVEX_DRIVES.
  std::string EnvironmentValue() const;
  const std::vector<Drive>& drives() const { return drives_; }

 private:
  std::optional<std::string> DriveFormOf(const std::string& path, PathKind kind,
                                         std::string* error);
  const Drive* FindLetter(char letter) const;
  const Drive* ContainingDrive(const std::string& native) const;
  // The automatic drive of the file system holding `native`, made on first use.
  std::optional<char> AutomaticLetter(const std::string& native, std::string* error);

  std::vector<Drive> drives_;
};

// --- Text operations, exposed for the tests ---

// Collapses repeated separators and resolves "." and ".." without touching
// the file system ("/a/./b/../c" -> "/a/c"); ".." never climbs above the
// root. `separator` is '/' or '\\'; `root_length` characters (the "/" or the
// "C:\") are kept as they are.
std::string NormalizePath(const std::string& path, char separator, size_t root_length);
// True for "C:\..." or "C:/...".
bool IsDriveForm(const std::string& path);
// The root folder of the file system holding `native` (an absolute,
// normalized path that need not exist: its nearest existing ancestor
// decides). A mount point with nothing mounted on it is taken for the root
// of the disk that belongs there, so that its drive is not ready rather
// than a folder of the disk below. Linux only.
std::string FileSystemRoot(const std::string& native);

}  // namespace tolvex::frontend
