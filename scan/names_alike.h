// Names Windows cannot tell apart, which a file system that tells them apart
// holds side by side:
//   - case twins: entries of one folder whose names differ only in ASCII
//     letter case ("a.txt" and "A.TXT");
//   - a name and an unusable name that Windows would read as it: a final dot
//     or space is stripped there, so "x." is "x".
// The engine pairs and looks up names as Windows does, so a copy of one
// lands on the other and a lookup finds either. A name with such a twin on
// either side of a pair of folders is left alone on both sides: no copy, no
// erase, never an orphan; the same for the whole subtree of such a folder.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "model/parameters.h"
#include "model/plan.h"
#include "scan/finding_sink.h"
#include "scan/folder_listings.h"

namespace tolvex {

// Removes from dirList (sorted: a parent before its subfolders) every folder
// whose name has a twin in its parent folder or, with full or relative
// paths, in the parent's counterpart, and every folder below such a one
// (case twins only where the pairs ignore case: plan.namesTellCaseApart).
// Each case twin folder is reported (TOLVEX_REPORT_CASE_TWIN, its path with
// the closing backslash); an unusable name is reported as such by the scan.
// The folders in `roots` (the selections and their twins, as named by the
// job) are taken as named: their parents are not read.
void DropFoldersWithTwins(const TParameters& parameters, Plan& plan,
                          const std::unordered_set<std::string>& roots, FolderListings* listings,
                          FindingSink* sink);

// True when `name` has a twin in `own` (the folder `own_folder`) or in
// `counterpart` (the folder `counterpart_folder`); each spelling of a case
// twin there is reported. Without `case_twins` (the pairs tell case apart,
// plan.namesTellCaseApart) only a name Windows would strip to it counts.
bool HasTwin(std::string_view name, const FolderListing& own, const std::string& own_folder,
             const FolderListing& counterpart, const std::string& counterpart_folder,
             bool case_twins, FindingSink* sink);

}  // namespace tolvex
