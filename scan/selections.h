// The directory selections of a job and how they become the folders a scan
// visits: subtree expansion, existence test, exclusion, and the pairing of
// every folder with its counterpart on the other side of the backup.
//
// A directory entry is a path in drive form ending in a backslash
// ("C:\Data\"), optionally followed by "*" for the folder and every folder
// below it ("C:\Data\*"). In the working lists the mark is the side:
// 0 source, 1 destination.
//
// Every loop here takes one pump step per entry and stops at its next test
// of the run's Aborted flag (`aborted`, or the plan's); an aborted operation
// leaves its list partly processed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/progress.h"
#include "model/records.h"
#include "platform/folder_layout.h"
#include "scan/folder_listings.h"

namespace tolvex {

// What the subfolder search met in `folder` (drive form) and left alone,
// with its report code (TOLVEX_REPORT_*): a name the Windows namespace
// cannot hold (`path` is the native path, which the log shows), a link to a
// folder that is not entered (`path` in drive form, with its backslash), or
// the folder itself, which could not be read.
// The kind of a FolderNote that names a symbolic link copied as a link
// (kAttrSymbolicLink): nothing to report, but no folder at or below it is
// read, on either side (its path has its backslash).
inline constexpr int32_t kNoteLinkCopiedAsLink = 0;

struct FolderNote {
  int32_t kind = 0;
  std::string folder;
  std::string path;
};

// Number of leading bytes equal in both texts (letter case counts).
size_t CommonPrefixLength(const std::string& a, const std::string& b);

// Removes `prefix` from the front of *text when *text starts with it;
// otherwise leaves *text alone.
void StripPrefix(std::string* text, const std::string& prefix);

// The common leading folder of the include entries that are directory
// entries (the others are never scanned): empty for no such entry or
// entries on different drives; always ends after a backslash otherwise.
std::string ComputeCommonRoot(const std::vector<STRING>& includes, const bool& aborted);

// Appends the destination twin of every entry (mark 1), in entry order, for
// path modes 1 and 2, below the plan's DestinationRoot (and CommonRoot).
// Entries that are not directory entries get no twin.
void AddDestinationCounterparts(const TParameters& parameters, const Plan& plan,
                                std::vector<STRING>* list);

// Whether the folder of a directory entry exists (a drive root is tested as
// such; a file or a missing drive is no folder). kUnknown when the system
// would not say (no access to the folder's parent, an I/O error).
enum class SelectionState { kExists, kMissing, kUnknown };
SelectionState StateOfSelection(const std::string& entry);
// True when StateOfSelection says kExists.
bool SelectionExists(const std::string& entry);

// The entries DropMissingDirectories removed, as they were given.
struct DroppedEntries {
  std::vector<std::string> missing;
  std::vector<std::string> unknown;
};

// Removes the entries whose folder does not exist (or is a file, or is not a
// directory entry at all). Entries whose state is unknown are removed too,
// or with `keep_unknown` kept (an exclusion that may hold stays). When
// `dropped` is not null it receives what was removed, in list order.
// Nothing is reported.
void DropMissingDirectories(const bool& aborted, std::vector<STRING>* list,
                            DroppedEntries* dropped = nullptr, bool keep_unknown = false);

// Replaces every "*" entry by the folder itself and all folders below it,
// breadth first, pass by pass; new entries keep the mark of the entry they
// were found under. When `gauge` is not null it moves over 0..300. Names the
// platform cannot represent, folder links and folders that cannot be read
// are added to *notes when it is not null.
// With `listings`, folders are read through it (and kept for the file
// search); without, each is read on its own.
void ExpandSelections(const bool& aborted, std::vector<STRING>* list, SearchProgressView* gauge,
                      std::vector<FolderNote>* notes = nullptr, FolderListings* listings = nullptr);

// Appends "<folder><name>\*" with `mark` for every immediate subfolder of
// `folder` (hidden and system ones too) and returns how many. Folders that
// are reparse points (links, junctions) are not entered: they could lead out
// of the tree or round in a loop. *notes, when not null, gets the folder's
// unusable names and links, and the folder itself when it cannot be read.
int ExpandDirectory(const std::string& folder, std::vector<STRING>* list, uint8_t mark,
                    std::vector<FolderNote>* notes = nullptr,
                    FolderListings* listings = nullptr);

// Removes every include entry whose text equals an exclude entry's text with
// letter case ignored as the file system ignores it (NameCaseKey; marks are
// not compared).
void RemoveExcludedDirectories(const bool& aborted, std::vector<STRING>* includes,
                               const std::vector<STRING>& excludes);

// True for the path modes the scan knows: 0 flat, 1 full path, 2 relative.
bool IsKnownPathMode(int32_t path_mode);

// The folder on the other side that holds the same files as `folder`, which
// lies on side `side` (0 source, 1 destination). In path mode 1 a
// destination folder maps back onto the drive of the include whose twin
// holds it. Empty for an unknown path mode, and for a destination folder no
// include's twin holds: such a folder has no counterpart.
std::string MapCounterpartDirectory(const TParameters& parameters, const Plan& plan,
                                    const std::string& folder, uint8_t side);

}  // namespace tolvex
