// The folder layout of a job as a run reads it, shared by the engine's
// checks and scan and by the command's job check: how Destination names a
// folder, the working destination folder a vary mode gives, the destination
// twin of a folder selection, and which layouts are refused before a run.
//
// Folder selections are "X:\...\" (that one folder) or "X:\...\*" (the
// folder and every folder below it). Folders compare without regard to
// ASCII letter case, as the file systems the engine runs on name them.
//
// Pure text rules: nothing here touches the file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvex {

// The fixed folder names of the rotation (VaryMode 4). "Grandfather" exists
// only for a moment, as the temporary name of the oldest generation.
inline constexpr const char kGrandsonFolder[] = "Grandson";
inline constexpr const char kSonFolder[] = "Son";
inline constexpr const char kFatherFolder[] = "Father";
inline constexpr const char kGrandfatherFolder[] = "Grandfather";

// Destination as the folder a run writes below: with its closing backslash.
// "S:" names the root of S: here, as it does for the generation folders
// (every folder name is appended right after it), so every check must read
// it the same way. A text that already ends in a separator is kept.
std::string DestinationFolder(const std::string& destination);

// The working destination folder that `vary_mode` gives on `today`:
// Destination itself, or the dated, weekday, odd/even or "Grandson" folder
// below it. Nothing for a vary mode the run does not know (the run then
// has no working folder and scans nothing).
std::optional<std::string> WorkingDestinationFolder(int32_t vary_mode,
                                                    const std::string& destination,
                                                    const std::string& weekday,
                                                    const LocalTime& today);

// True for "X:\...\" and "X:\...\*": a drive letter, a colon, a backslash,
// and a closing backslash (before an optional final star), with no "." or
// ".." between separators. Anything else cannot be paired with a
// counterpart and is never scanned.
bool IsDirectoryEntry(const std::string& text);

// A directory entry as the folders it stands for.
struct FolderSelection {
  std::string folder;    // ends with a backslash
  bool subtree = false;  // the entry ended in "*"
};
FolderSelection SelectionOf(const std::string& entry);

// True when `folder` (ending with a backslash) is one of the folders of
// `selection`: the folder itself, or one below it for a subtree.
bool SelectionHolds(const FolderSelection& selection, const std::string& folder);

// "C:\Data\Sub\*" -> "\Data\Sub\": from the backslash after the drive up to
// and including the last backslash; empty for a text with no backslash
// after its drive.
std::string DirectoryPart(const std::string& entry);

// The common leading folder of the entries, the leading bytes all share
// (letter case counts) cut after their last backslash: empty for no entry,
// for entries on different drives and for leading bytes without a
// backslash.
std::string CommonLeadingFolder(const std::vector<std::string>& entries);

// The destination twin of a directory entry in path mode 1 (the stem of
// `destination_root` followed by the directory part) or 2
// (`destination_root` followed by drive and directory part without
// `common_root`); a final "*" is kept. `destination_root` ends with a
// backslash.
std::string DestinationTwin(int32_t path_mode, const std::string& destination_root,
                            const std::string& common_root, const std::string& entry);

// A layout the run refuses, with the two texts that show why.
struct LayoutFault {
  std::string destinationFolders;  // what the destination scan would read
  std::string selection;           // the include it would take for the destination's
};

// The destination over its sources: a folder that the destination scan reads
// (the twin of an include in path modes 1 and 2) that is or holds, at any
// depth, an include's folder; or in path mode 0 a destination root that is an
// include's folder. The scan would take source files (and the files around
// them) for destination files: orphans to erase, copies to overwrite. A
// destination inside a source folder is not this. Nothing for a layout
// without it and for unknown path modes.
std::optional<LayoutFault> FindDestinationOverSource(int32_t path_mode,
                                                     const std::string& destination_root,
                                                     const std::vector<std::string>& includes);

// Folders of two drives meeting in the destination: in path mode 1, the
// twins of includes on different drives are equal or one lies in the other
// (a file there would have two sources, and its counterpart could be looked
// for on the wrong drive and found missing); in path mode 2, includes without
// a common root (on different drives: every target would hold a colon).
// Nothing for other path modes and layouts without it.
std::optional<LayoutFault> FindDrivesMeeting(int32_t path_mode, const std::string& destination_root,
                                             const std::vector<std::string>& includes);

// Includes that the destination could not keep apart: in path modes 1 and
// 2, twins of two includes that are equal or one inside the other's subtree
// when letter case is ignored as the file system ignores it
// (NameCaseKey), but not when it counts ("S:\Data\*" and "S:\data\*",
// two folders where names keep their case). The destination finds either
// twin under both spellings: one folder would be the backup of two, each
// one's files the other's orphans. Nothing for other path modes and for
// includes that meet with their case too (one folder named twice).
std::optional<LayoutFault> FindIncludesApartOnlyByCase(int32_t path_mode,
                                                       const std::string& destination_root,
                                                       const std::vector<std::string>& includes);

// The drive (upper case) of the include whose destination twin holds
// `folder` in path mode 1; 0 when no include's twin holds it.
char DriveOfTwinHolding(const std::string& destination_root,
                        const std::vector<std::string>& includes, const std::string& folder);

}  // namespace tolvex
