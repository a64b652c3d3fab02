#include "frontend/run_summary.h"

#include <set>
#include <utility>

#include "frontend/error_text.h"
#include "frontend/json_text.h"

namespace tolvex::frontend {

namespace {

constexpr size_t kLabelColumns = 28;

const char* kSideNames[2] = {"source", "destination"};

// The findings that mean something selected was not backed up.
struct LeftOutKind {
  int32_t report;
  const char* one;
  const char* many;
};
constexpr LeftOutKind kLeftOutKinds[] = {
    {TOLVEX_REPORT_MISSING_FOLDER, "missing source folder", "missing source folders"},
    {TOLVEX_REPORT_UNREADABLE_FOLDER, "unreadable folder", "unreadable folders"},
    {TOLVEX_REPORT_UNUSABLE_NAME, "unusable name", "unusable names"},
    {TOLVEX_REPORT_CASE_TWIN, "case twin", "case twins"},
    {TOLVEX_REPORT_NAME_CLASH, "name clash", "name clashes"},
    {TOLVEX_REPORT_SPECIAL_ENTRY, "special file", "special files"},
};

std::string Counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string PairKey(const ItemRecord& item) { return item.from + '\n' + item.to; }

bool IsCopy(const ItemRecord& item) {
  return item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK;
}

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
  for (const ItemRecord& item : failed) {
    const bool by_you = item.error == TOLVEX_ERROR_INTERRUPTED;
    (item.kind == TOLVEX_ITEM_ERASE ? erasures : by_you ? interrupted : copies) += 1;
  }
  if (copies > 0) reasons.push_back(Counted(copies, "copy failed", "copies failed"));
  if (interrupted > 0) {
    reasons.push_back(Counted(interrupted, "copy interrupted by you", "copies interrupted by you"));
  }
  if (erasures > 0) reasons.push_back(Counted(erasures, "erasure failed", "erasures failed"));
  for (const LeftOutKind& kind : kLeftOutKinds) {
    const auto paths = found.find(kind.report);
    if (paths != found.end()) reasons.push_back(Counted(paths->second.size(), kind.one, kind.many));
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
    if (IsCopy(item)) {
      if (failed) failed_copies[PairKey(item)] = item;
      if (!done) continue;
      failed_copies.erase(PairKey(item));
      summary.copied[item.kind == TOLVEX_ITEM_COPY ? 1 : 0].Add(item.size);
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
    const FileCount& erasures = summary.erased[tree];
    if (erasures.files == 0) continue;
    Row(out, std::string(plan ? "erase in the " : "erased in the ") + kSideNames[tree],
        Files(erasures.files) + ", " + ByteText(erasures.bytes));
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
  const bool wrote = summary.copied[1].files > 0 || summary.erased[1].files > 0;
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
  const auto links = summary.found.find(TOLVEX_REPORT_LINK_NOT_FOLLOWED);
  if (links != summary.found.end()) {
    out << "  links, not followed:\n";
    for (const std::string& path : links->second) out << "    " << drives.ToNative(path) << "\n";
  }
}

void PrintProblems(const RunSummary& summary, const ItemStyle& style, std::ostream& err) {
  const DriveMap& drives = *style.drives;
  for (const ItemRecord& item : summary.failed) err << "tolvex: " << FailureText(item, style) << "\n";
  for (const LeftOutKind& kind : kLeftOutKinds) {
    const auto paths = summary.found.find(kind.report);
    if (paths == summary.found.end()) continue;
    for (const std::string& path : paths->second) {
      err << "tolvex: not backed up (" << kind.one << "): " << drives.ToNative(path) << "\n";
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
