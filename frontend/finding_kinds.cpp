#include "frontend/finding_kinds.h"

#include "include/tolvex32.h"

namespace tolvex::frontend {

const std::vector<FindingKind>& FindingKinds() {
  // A pipe, a socket or a device holds no data a backup could keep (rsync
  // -a makes an empty new node, no content); its name is noted. A link to a
  // folder is not entered: what it points to is backed up where it is
  // selected, not through the link.
  static const std::vector<FindingKind> kinds = {
      {TOLVEX_REPORT_MISSING_FOLDER, true, "missing source folder", "missing source folders", ""},
      {TOLVEX_REPORT_UNREADABLE_FOLDER, true, "unreadable folder", "unreadable folders", ""},
      {TOLVEX_REPORT_UNUSABLE_NAME, true, "unusable name", "unusable names", ""},
      {TOLVEX_REPORT_CASE_TWIN, true, "case twin", "case twins", ""},
      {TOLVEX_REPORT_NAME_CLASH, true, "name clash", "name clashes", ""},
      {TOLVEX_REPORT_SPECIAL_ENTRY, false, "special file", "special files",
       "pipes, sockets and devices (no data to back up), left alone:"},
      {TOLVEX_REPORT_LINK_NOT_FOLLOWED, false, "link not followed", "links not followed",
       "links, not followed:"},
  };
  return kinds;
}

}  // namespace tolvex::frontend
