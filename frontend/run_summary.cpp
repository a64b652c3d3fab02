#include "frontend/run_summary.h"

#include <set>
#include <utility>

#include "frontend/error_text.h"
#include "frontend/finding_kinds.h"
#include "frontend/json_text.h"

namespace tolvex::frontend {

namespace {

constexpr size_t kLabelColumns = 28;

const char* kSideNames[2] = {"source", "destination"};

// The paths of the findings of `kind` that are losses (`lost`) or not.
std::vector<std::string> FoundPaths(const RunSummary& summary, const FindingKind& kind, bool lost) {
  std::vector<std::string> paths;
  const auto found = summary.found.find(kind.report);
  if (found == summary.found.end()) return paths;
  for (const std::string& path : found->second) {
    if (IsLoss(kind, path, summary.generation_folder) == lost) paths.push_back(path);
  }
  return paths;
}

std::string Counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The kinds of links copied as links: the item bit and the summary's words.
struct LinkKind {
  uint32_t bit;
  const char* one;
  const char* many;
  const char* json;
};
constexpr LinkKind kLinkKinds[] = {
    {TOLVEX_ITEM_LINK_TO_FILE, "link to a file", "links to files", "links_to_files"},
    {TOLVEX_ITEM_LINK_TO_FOLDER, "link to a folder", "links to folders", "links_to_folders"},
    {TOLVEX_ITEM_LINK_DANGLING, "dangling link", "dangling links", "dangling_links"},
};

std::string PairKey(const ItemRecord& item) { return item.from + '\n' + item.to; }

bool IsCopy(const ItemRecord& item) {
  return item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK;
}

// The tree a copy or a mode set writes: 1 destination, 0 source.
int TreeWritten(const ItemRecord& item) { return item.side == 0 ? 1 : 0; }

void Row(std::ostream& out, const std::string& label, const std::string& value) {
  std::string line = "  " + label;
  if (line.size() < kLabelColumns) line.resize(kLabelColumns, ' ');
  out << line << value << "\n";
}

// "5 files (ignored orphan 3, conflict 2)".
std::string SkipText(const RunSummary& summary) {
  uint64_t total = 0;
  std::string reasons;
  for (const auto& [reason, count] : summary.skipped) {
    total += count;
    reasons += (reasons.empty() ? "" : ", ") + ReasonName(reason) + " " + std::to_string(count);
  }
  return total == 0 ? "" : Files(total) + " (" + reasons + ")";
}

std::string FailureText(const ItemRecord& item, const ItemStyle& style) {
  const DriveMap& drives = *style.drives;
  if (item.kind == TOLVEX_ITEM_ERASE) {
    return "erase failed: " + drives.ToNative(item.from) + ": " + ExplainError(item.error);
  }
  if (item.kind == TOLVEX_ITEM_SET_MODE && item.error != TOLVEX_ERROR_INTERRUPTED) {
    return "mode not set: " + drives.ToNative(item.from) + " -> " + drives.ToNative(item.to) + ": " +
           ExplainError(item.error);
  }
  if (item.error == TOLVEX_ERROR_INTERRUPTED) {
    return "interrupted by you, not copied: " + drives.ToNative(item.from) + " -> " +
           drives.ToNative(item.to);
  }
  return "copy failed: " + drives.ToNative(item.from) + " -> " + drives.ToNative(item.to) + ": " +
         ExplainCopyError(item.error, drives.ToNative(item.from), drives.ToNative(item.to));
}

}  // namespace

std::vector<std::string> RunSummary::LeftOut() const {
  std::vector<std::string> reasons;
  uint64_t copies = 0;
  uint64_t interrupted = 0;
  uint64_t erasures = 0;
  uint64_t modes = 0;
  for (const ItemRecord& item : failed) {
    const bool by_you = item.error == TOLVEX_ERROR_INTERRUPTED;
    if (item.kind == TOLVEX_ITEM_SET_MODE && !by_you) {
      ++modes;
      continue;
    }
    (item.kind == TOLVEX_ITEM_ERASE ? erasures : by_you ? interrupted : copies) += 1;
  }
  if (copies > 0) reasons.push_back(Counted(copies, "copy failed", "copies failed"));
  if (modes > 0) reasons.push_back(Counted(modes, "mode not set", "modes not set"));
  if (interrupted > 0) {
    reasons.push_back(Counted(interrupted, "copy interrupted by you", "copies interrupted by you"));
  }
  if (erasures > 0) reasons.push_back(Counted(erasures, "erasure failed", "erasures failed"));
  for (const FindingKind& kind : FindingKinds()) {
    const std::vector<std::string> lost = FoundPaths(*this, kind, true);
    if (lost.empty()) continue;
    const bool in_destination = kind.weight == FindingWeight::kLossInDestination;
    reasons.push_back(Counted(lost.size(), kind.one, kind.many) +
                      (in_destination ? " in the destination" : ""));
  }
  if (!open_conflicts.empty()) {
    reasons.push_back(Counted(open_conflicts.size(), "conflict left alone", "conflicts left alone"));
  }
  return reasons;
}

RunSummary Summarize(const std::vector<ItemRecord>& plan, const std::vector<ItemRecord>& outcomes,
                     bool planned) {
  RunSummary summary;
  summary.planned = planned;
  for (const ItemRecord& item : plan) {
    switch (item.kind) {
      case TOLVEX_ITEM_GENERATION: summary.generation_folder = item.from; break;
      case TOLVEX_ITEM_UNCHANGED:
        if (!item.from.empty()) break;
        (item.reason == TOLVEX_REASON_EQUAL ? summary.equal_pairs : summary.older_pairs) =
            static_cast<uint64_t>(item.number);
        break;
      case TOLVEX_ITEM_SPACE: summary.space.push_back(item); break;
      case TOLVEX_ITEM_SIDE: summary.sides.push_back(item); break;
      case TOLVEX_ITEM_ROTATION: summary.renames.push_back(item); break;
      // A run counts the removals it made (below), a plan those it lists.
      case TOLVEX_ITEM_FOLDER_REMOVED: summary.folders_removed += planned ? 1 : 0; break;
      case TOLVEX_ITEM_FOLDER_MADE: summary.folders_made += planned ? 1 : 0; break;
      case TOLVEX_ITEM_END:
        summary.over_erase_limit = item.reason == TOLVEX_REASON_ERASE_LIMIT;
        summary.confirmed_over_limit = (item.state & TOLVEX_PLAN_CONFIRMED) != 0;
        break;
      default: break;
    }
  }
  // A copy's failures count until a retry of the same copy succeeds.
  std::map<std::string, ItemRecord> failed_copies;
  std::set<std::string> carried_out;  // paths a done copy or erase touched
  InterruptedCopies interrupted;
  for (ItemRecord item : planned ? plan : outcomes) {
    interrupted.Mark(&item);
    if (!item.IsAction()) continue;
    const bool done = planned || item.outcome == TOLVEX_OUTCOME_DONE;
    const bool failed = !planned && item.outcome == TOLVEX_OUTCOME_FAILED;
    if (IsCopy(item) || item.kind == TOLVEX_ITEM_SET_MODE) {
      if (failed) failed_copies[PairKey(item)] = item;
      if (!done) continue;
      failed_copies.erase(PairKey(item));
      if (item.kind == TOLVEX_ITEM_SET_MODE) {
        summary.modes_set[TreeWritten(item)].Add(0);
        continue;
      }
      summary.copied[item.kind == TOLVEX_ITEM_COPY ? 1 : 0].Add(item.size);
      for (size_t k = 0; k < 3; ++k) {
        if ((item.state & TOLVEX_ITEM_LINK_BITS) == kLinkKinds[k].bit) ++summary.links_copied[k];
      }
      if (item.state & TOLVEX_STATE_COUNTER_CHANGED) summary.newer_wins.push_back(item);
      carried_out.insert(item.from);
      carried_out.insert(item.to);
    } else if (item.kind == TOLVEX_ITEM_ERASE) {
      if (failed) summary.failed.push_back(item);
      if (!done) continue;
      summary.erased[item.side == 0 ? 0 : 1].Add(item.size);
      carried_out.insert(item.from);
    } else {
      ++summary.skipped[item.reason];
    }
  }
  for (auto& [key, item] : failed_copies) summary.failed.push_back(std::move(item));
  for (const ItemRecord& item : outcomes) {
    switch (item.kind) {
      case TOLVEX_ITEM_FINDING: summary.found[item.reason].push_back(item.from); break;
      case TOLVEX_ITEM_ROTATION: summary.renames.push_back(item); break;
      case TOLVEX_ITEM_FOLDER_REMOVED: ++summary.folders_removed; break;
      case TOLVEX_ITEM_FOLDER_MADE:
        if (item.outcome == TOLVEX_OUTCOME_DONE) ++summary.folders_made;
        break;
      default: break;
    }
  }
  // A conflict that a person settled (one file copied over the other, or
  // erased) is no longer one.
  const auto conflicts = summary.found.find(TOLVEX_REPORT_CONFLICT);
  if (conflicts != summary.found.end()) {
    for (const std::string& path : conflicts->second) {
      if (carried_out.count(path) == 0) summary.open_conflicts.push_back(path);
    }
  }
  return summary;
}

void PrintSummary(const RunSummary& summary, const ItemStyle& style, std::ostream& out) {
  const DriveMap& drives = *style.drives;
  const bool plan = summary.planned;
  for (int tree : {1, 0}) {
    const FileCount& copies = summary.copied[tree];
    if (copies.files == 0) continue;
    Row(out, std::string(plan ? "copy to the " : "copied to the ") + kSideNames[tree],
        Files(copies.files) + ", " + ByteText(copies.bytes));
  }
  for (int tree : {1, 0}) {
    const FileCount& modes = summary.modes_set[tree];
    if (modes.files == 0) continue;
    Row(out, std::string(plan ? "set modes in the " : "modes set in the ") + kSideNames[tree],
        Files(modes.files) + " (content equal)");
  }
  for (int tree : {1, 0}) {
    const FileCount& erasures = summary.erased[tree];
    if (erasures.files == 0) continue;
    Row(out, std::string(plan ? "erase in the " : "erased in the ") + kSideNames[tree],
        Files(erasures.files) + ", " + ByteText(erasures.bytes));
  }
  // Among the copies, one line per kind of link ("84 links to folders
  // copied as links"); -v lists each with its copy.
  for (size_t k = 0; k < 3; ++k) {
    const uint64_t count = summary.links_copied[k];
    if (count == 0) continue;
    out << "  " << Counted(count, kLinkKinds[k].one, kLinkKinds[k].many)
        << (plan ? " to copy as " : " copied as ") << (count == 1 ? "a link" : "links") << "\n";
  }
  const std::string skipped = SkipText(summary);
  if (!skipped.empty()) Row(out, plan ? "skip" : "skipped", skipped);
  if (summary.equal_pairs + summary.older_pairs > 0) {
    std::string unchanged = std::to_string(summary.equal_pairs) + " equal";
    if (summary.older_pairs > 0) unchanged += ", " + std::to_string(summary.older_pairs) + " older";
    Row(out, "unchanged", unchanged);
  }
  if (summary.folders_made > 0) {
    Row(out, plan ? "empty folders to make" : "empty folders made",
        std::to_string(summary.folders_made));
  }
  if (summary.folders_removed > 0) {
    Row(out, plan ? "empty folders to remove" : "empty folders removed",
        std::to_string(summary.folders_removed));
  }
  // A run names the folder only when it changed something there: not after
  // the erase guard stopped it, nor when it copied only into the source.
  const bool wrote = summary.copied[1].files > 0 || summary.modes_set[1].files > 0 ||
                     summary.erased[1].files > 0;
  if (!summary.generation_folder.empty() && (plan || wrote)) {
    Row(out, plan ? "writes into" : "written into", drives.ToNative(summary.generation_folder));
  }
  uint64_t renames = 0;
  for (const ItemRecord& rename : summary.renames) renames += rename.error == 0 ? 1 : 0;
  if (renames > 0) {
    Row(out, plan ? "generations to rotate" : "generations rotated",
        std::to_string(renames) + (renames == 1 ? " rename" : " renames") + " first");
  }
  for (const ItemRecord& space : summary.space) {
    const bool lacks = space.reason == TOLVEX_REASON_LACKS_SPACE;
    const std::string need = space.number > 0 ? ByteText(static_cast<uint64_t>(space.number)) : "0 B";
    const std::string available = space.limit > 0 ? ByteText(static_cast<uint64_t>(space.limit)) : "0 B";
    Row(out, std::string("drive ") + static_cast<char>(space.drive) + ":",
        "needs " + need + ", " + available + " available" + (lacks ? ": NOT ENOUGH" : ""));
  }
  std::vector<const ItemRecord*> newer;
  for (const ItemRecord& item : summary.newer_wins) {
    if (NewerWins(item, style)) newer.push_back(&item);
  }
  if (!newer.empty()) {
    out << "  changed on both sides since the last run; the newer file "
        << (plan ? "wins" : "won") << " (the other edit is gone from that side):\n";
    for (const ItemRecord* item : newer) {
      out << "    " << drives.ToNative(item->from) << " -> " << drives.ToNative(item->to) << "\n";
    }
  }
  const auto moves = summary.found.find(TOLVEX_REPORT_MOVED);
  if (moves != summary.found.end()) {
    out << "  moved or renamed on one side since the last run, so both names "
        << (plan ? "are" : "were") << " copied, not erased (remove the name you do not want):\n";
    for (const std::string& path : moves->second) out << "    " << drives.ToNative(path) << "\n";
  }
  // What the run left alone on purpose, no loss: each kind with its paths.
  for (const FindingKind& kind : FindingKinds()) {
    const std::vector<std::string> noted = FoundPaths(summary, kind, false);
    if (noted.empty()) continue;
    out << "  " << kind.listed << "\n";
    for (const std::string& path : noted) out << "    " << drives.ToNative(path) << "\n";
  }
}

void PrintProblems(const RunSummary& summary, const ItemStyle& style, std::ostream& err) {
  const DriveMap& drives = *style.drives;
  for (const ItemRecord& item : summary.failed) err << "tolvex: " << FailureText(item, style) << "\n";
  for (const FindingKind& kind : FindingKinds()) {
    for (const std::string& path : FoundPaths(summary, kind, true)) {
      if (kind.weight == FindingWeight::kLossInDestination) {
        err << "tolvex: not backed up (a " << kind.one << " in the destination holds the name of "
            << "the source's file, if there is one): " << drives.ToNative(path) << "\n";
      } else {
        err << "tolvex: not backed up (" << kind.one << "): " << drives.ToNative(path) << "\n";
      }
    }
  }
  for (const std::string& path : summary.open_conflicts) {
    err << "tolvex: conflict left alone (one time, other sizes on the two sides): "
        << drives.ToNative(path) << "\n";
  }
  const auto blocked = summary.found.find(TOLVEX_REPORT_ROTATION_BLOCKED);
  if (blocked != summary.found.end()) {
    for (const std::string& path : blocked->second) {
      err << "tolvex: warning: the generation rotation is blocked by a folder left over from an "
             "earlier run: "
          << drives.ToNative(path) << " (remove or rename it; this run updates the Grandson "
                                      "that is there)\n";
    }
  }
}

std::string SummaryJson(const RunSummary& summary, const ItemStyle& style) {
  const DriveMap& drives = *style.drives;
  JsonObject json;
  json.Text("kind", "summary").Flag("planned", summary.planned);
  json.Number("copied_to_destination", summary.copied[1].files);
  json.Number("copied_to_destination_bytes", summary.copied[1].bytes);
  json.Number("copied_to_source", summary.copied[0].files);
  json.Number("copied_to_source_bytes", summary.copied[0].bytes);
  json.Number("modes_set_in_destination", summary.modes_set[1].files);
  json.Number("modes_set_in_source", summary.modes_set[0].files);
  JsonObject links;
  for (size_t k = 0; k < 3; ++k) links.Unsigned(kLinkKinds[k].json, summary.links_copied[k]);
  json.Raw("copied_as_links", links.str());
  json.Number("erased_in_destination", summary.erased[1].files);
  json.Number("erased_in_source", summary.erased[0].files);
  JsonObject skipped;
  for (const auto& [reason, count] : summary.skipped) {
    skipped.Unsigned(ReasonName(reason).c_str(), count);
  }
  json.Raw("skipped", skipped.str());
  json.Unsigned("failed", summary.failed.size());
  json.Unsigned("unchanged_equal", summary.equal_pairs);
  json.Unsigned("unchanged_older", summary.older_pairs);
  json.Unsigned("folders_removed", summary.folders_removed);
  json.Unsigned("folders_made", summary.folders_made);
  JsonObject found;
  for (const auto& [report, paths] : summary.found) {
    found.Unsigned(FindingName(report).c_str(), paths.size());
  }
  json.Raw("found", found.str());
  json.Unsigned("open_conflicts", summary.open_conflicts.size());
  if (!summary.generation_folder.empty()) {
    json.Text("generation_folder", drives.ToNative(summary.generation_folder));
  }
  json.Flag("over_erase_limit", summary.over_erase_limit);
  json.Flag("left_out", !summary.LeftOut().empty());
  return json.str();
}

std::string EraseLimitMessage(const RunSummary& summary, const std::vector<std::string>& sources,
                              const ItemStyle& style, const std::string& limit) {
  const DriveMap& drives = *style.drives;
  std::string sides;
  for (const ItemRecord& side : summary.sides) {
    if (side.reason != TOLVEX_REASON_ERASE_LIMIT) continue;
    std::string folders;
    if (side.side == 0) {
      for (const std::string& source : sources) folders += (folders.empty() ? "" : ", ") + source;
    } else {
      folders = drives.ToNative(summary.generation_folder);
    }
    sides += (sides.empty() ? "" : "; and ") + std::to_string(side.number) + " of the " +
             std::to_string(side.limit) + " files in the " + kSideNames[side.side == 0 ? 0 : 1] +
             " tree (" + folders + ")";
  }
  std::string message = "the plan erases " + sides + ", more than MaxErase (" + limit +
                        ") allows. A disk that is not mounted, or a source folder emptied by "
                        "mistake, looks like this.";
  // The generation folders are rotated only once a run goes on: a run the
  // guard stops has renamed nothing.
  return message;
}

}  // namespace tolvex::frontend
