#include "frontend/finding_kinds.h"

#include <cctype>

#include "include/tolvex32.h"

namespace tolvex::frontend {

const std::vector<FindingKind>& FindingKinds() {
  using W = FindingWeight;
  // A pipe, a socket or a device holds no data a backup could keep (rsync
  // -a makes an empty new node, no content). In the destination tree one
  // takes the name of the source's file of that name, if there is one,
  // which then stays out of the backup. A link not followed is a link
  // facing a folder of its name on the other side (on Windows any folder
  // link): whichever side it is on, one of the two is not backed up.
  static const std::vector<FindingKind> kinds = {
      {TOLVEX_REPORT_MISSING_FOLDER, W::kLoss, "missing source folder", "missing source folders", ""},
      {TOLVEX_REPORT_UNREADABLE_FOLDER, W::kLoss, "unreadable folder", "unreadable folders", ""},
      {TOLVEX_REPORT_UNUSABLE_NAME, W::kLoss, "unusable name", "unusable names", ""},
      {TOLVEX_REPORT_CASE_TWIN, W::kLoss, "case twin", "case twins", ""},
      {TOLVEX_REPORT_NAME_CLASH, W::kLoss, "name clash", "name clashes", ""},
      {TOLVEX_REPORT_SPECIAL_ENTRY, W::kLossInDestination, "special file", "special files",
       "pipes, sockets and devices (no data to back up), left alone:"},
      {TOLVEX_REPORT_LINK_NOT_FOLLOWED, W::kLoss, "link not followed",
       "links not followed", "links, not followed:"},
  };
  return kinds;
}

bool IsLoss(const FindingKind& kind, const std::string& path, const std::string& destination) {
  switch (kind.weight) {
    case FindingWeight::kLoss: return true;
    case FindingWeight::kNoLoss: return false;
    case FindingWeight::kLossInDestination:
      // Letter case aside: a spelling the engine took from the job counts
      // as the destination rather than pass for the source.
      if (destination.empty()) return true;
      if (path.size() < destination.size()) return false;
      for (size_t i = 0; i < destination.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(path[i])) !=
            std::tolower(static_cast<unsigned char>(destination[i]))) {
          return false;
        }
      }
      return true;
  }
  return true;
}

}  // namespace tolvex::frontend
