// Case twins: entries of one folder whose names differ only in ASCII letter
// case. A file system that tells case apart holds both; Windows cannot, and
// the engine pairs and looks up names without regard to case, so a copy of
// one lands on the other and a lookup finds either. A name with a case twin
// on either side of a pair of folders is left alone on both sides: no copy,
// no erase, never an orphan; the same for the whole subtree of a folder
// with a case twin.
#pragma once

#include <string>
#include <unordered_set>

#include "scan/finding_sink.h"
#include "scan/folder_listings.h"

namespace tolvex {

// Removes from dirList (sorted: a parent before its subfolders) every folder
// whose name has a case twin in its parent folder or, with full or relative
// paths, in the parent's counterpart, and every folder below such a one.
// Each twin folder is reported (TOLVEX_REPORT_CASE_TWIN, its path with the
// closing backslash). The folders in `roots` (the selections and their
// twins, as named by the job) are taken as named: their parents are not
// read.
void DropCaseTwinFolders(const std::unordered_set<std::string>& roots, FolderListings* listings,
                         FindingSink* sink);

// True when `name` has a case twin in `own` (the folder `own_folder`) or in
// `counterpart` (the folder `counterpart_folder`); each spelling of it there
// is then reported as a case twin.
bool IsCaseTwin(const std::string& name, const FolderListing& own, const std::string& own_folder,
                const FolderListing& counterpart, const std::string& counterpart_folder,
                FindingSink* sink);

}  // namespace tolvex
