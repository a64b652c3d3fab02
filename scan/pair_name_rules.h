// Whether the run's folder trees tell names apart by letter case.
//
// The engine matches names as Windows does, without regard to case, and
// leaves alone the case twins ("a.txt" beside "A.TXT") a case-sensitive
// tree holds: copied to or from a tree that ignores case, one would land on
// the other. Where both sides of every pair tell case apart (ext4, xfs,
// btrfs, tmpfs on Linux), such names are two files like any others: matched
// exactly, copied, erased and logged. The rule is asked once per source
// selection folder and once for the destination, not per file or folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "platform/name_case.h"

namespace tolvex {

// True when the file system of the destination (DestinationRoot, or the
// nearest folder above it that exists) and of every source selection
// folder that exists tells names apart by letter case; false when any of
// them ignores case or none can be asked.
bool PairsTellCaseApart(const TParameters& parameters, const Plan& plan);

// Where the pairs tell case apart, the folders in and below which the
// platform is to find names only as spelled (the selection folders and
// DestinationRoot), so that no copy or lookup takes "a.txt" for "A.txt";
// else none. For Platform::SetExactNameFolders, again whenever
// DestinationRoot changes.
std::vector<std::string> ExactNameFolders(const TParameters& parameters, const Plan& plan);

// The key under which the run takes two names (or paths) for one: the
// name itself where the pairs tell case apart, else NameCaseKey.
inline std::string PairNameKey(const Plan& plan, std::string_view name) {
  return plan.namesTellCaseApart ? std::string(name) : NameCaseKey(name);
}

}  // namespace tolvex
