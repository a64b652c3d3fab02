#include "frontend/item_record.h"

#include <cstdio>

#include "frontend/error_text.h"
#include "frontend/json_text.h"
#include "frontend/value_forms.h"

namespace tolvex::frontend {

namespace {

constexpr size_t kVerbColumns = 12;

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

const char* OutcomeName(int32_t outcome) {
  switch (outcome) {
    case TOLVEX_OUTCOME_DONE: return "done";
    case TOLVEX_OUTCOME_FAILED: return "failed";
    case TOLVEX_OUTCOME_SKIPPED: return "skipped";
    default: return "planned";
  }
}

// The kind as a JSON value: a word without spaces.
std::string JsonKind(int32_t kind) {
  switch (kind) {
    case TOLVEX_ITEM_COPY_BACK: return "copy_back";
    case TOLVEX_ITEM_SET_MODE: return "set_mode";
    case TOLVEX_ITEM_FOLDER_REMOVED: return "folder_removed";
    case TOLVEX_ITEM_FOLDER_MADE: return "folder_made";
    case TOLVEX_ITEM_GENERATION: return "generation";
    default: return KindName(kind);
  }
}

bool HasFiles(const ItemRecord& item) {
  return item.IsAction() || (item.kind == TOLVEX_ITEM_UNCHANGED && !item.from.empty());
}

bool HasTarget(const ItemRecord& item) { return item.kind != TOLVEX_ITEM_ERASE && !item.to.empty(); }

std::string FileFigures(uint64_t size, uint32_t stamp) {
  return ByteText(size) + " " + FormatStamp(stamp);
}

// "[30 B 2026-03-02 09:00:00 | 14 B 2026-02-01 09:00:00]", "| absent]".
std::string Figures(const ItemRecord& item) {
  std::string text = "[" + FileFigures(item.size, item.stamp);
  if (HasTarget(item)) {
    const bool absent = item.counter_size == 0 && item.counter_stamp == 0;
    text += " | " + (absent ? std::string("absent") : FileFigures(item.counter_size, item.counter_stamp));
  }
  return text + "]";
}

std::string Notes(const ItemRecord& item, const ItemStyle& style) {
  std::string notes;
  const auto add = [&notes](const std::string& note) {
    notes += (notes.empty() ? "" : ", ") + note;
  };
  if (!LinkName(item.state).empty()) add(LinkName(item.state));
  if (item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK) {
    if (NewerWins(item, style)) add("newer wins");
    if (item.state & TOLVEX_STATE_NEW_WORK) add("new since the last run");
    if (item.state & TOLVEX_STATE_MOVED) add("one end of a move, kept");
    if (item.state & TOLVEX_STATE_SIZE_WARNING) add("size warning");
  }
  if (item.kind == TOLVEX_ITEM_SET_MODE) {
    add("mode " + ModeText(item.number) + ", was " + ModeText(item.limit) + "; content equal");
  }
  if (item.kind == TOLVEX_ITEM_SKIP || item.kind == TOLVEX_ITEM_UNCHANGED) add(ReasonName(item.reason));
  // Both ways, why a file on one side only counts as deleted on the other.
  if (item.kind == TOLVEX_ITEM_ERASE && item.reason == TOLVEX_REASON_DELETED_ELSEWHERE) {
    add(std::string("deleted in the ") + (item.side == 0 ? "destination" : "source") +
        " since the last run");
  }
  if (item.kind == TOLVEX_ITEM_ERASE && item.reason == TOLVEX_REASON_OLDER_THAN_LAST_RUN) {
    add("older than the last run");
  }
  if (item.outcome == TOLVEX_OUTCOME_FAILED && item.error == TOLVEX_ERROR_INTERRUPTED) {
    add("not copied: interrupted by you");
  } else if (item.outcome == TOLVEX_OUTCOME_FAILED) {
    add("FAILED: " + (item.kind == TOLVEX_ITEM_ERASE || item.kind == TOLVEX_ITEM_ROTATION
                          ? ExplainError(item.error)
                          : ExplainCopyError(item.error, style.drives->ToNative(item.from),
                                             style.drives->ToNative(item.to))));
  }
  return notes;
}

}  // namespace

ItemRecord ItemRecord::Of(const TolvexItem& item) {
  ItemRecord record;
  record.kind = item.kind;
  record.reason = item.reason;
  record.outcome = item.outcome;
  record.error = item.error;
  record.state = item.state;
  record.stamp = item.stamp;
  record.counter_stamp = item.counter_stamp;
  record.size = item.size;
  record.counter_size = item.counter_size;
  record.number = item.number;
  record.limit = item.limit;
  record.drive = item.drive;
  record.side = item.side;
  record.from = Text(item.from);
  record.to = Text(item.to);
  return record;
}

std::string KindName(int32_t kind) {
  switch (kind) {
    case TOLVEX_ITEM_COPY: return "copy";
    case TOLVEX_ITEM_COPY_BACK: return "copy back";
    case TOLVEX_ITEM_SET_MODE: return "set mode";
    case TOLVEX_ITEM_ERASE: return "erase";
    case TOLVEX_ITEM_SKIP: return "skip";
    case TOLVEX_ITEM_FOLDER_REMOVED: return "remove folder";
    case TOLVEX_ITEM_FOLDER_MADE: return "make folder";
    case TOLVEX_ITEM_FINDING: return "found";
    case TOLVEX_ITEM_ROTATION: return "rename";
    case TOLVEX_ITEM_GENERATION: return "writes into";
    case TOLVEX_ITEM_UNCHANGED: return "unchanged";
    case TOLVEX_ITEM_SPACE: return "space";
    case TOLVEX_ITEM_SIDE: return "side";
    case TOLVEX_ITEM_END: return "end";
    default: return "item " + std::to_string(kind);
  }
}

std::string ModeText(int64_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 0777));
  return text;
}

void InterruptedCopies::Mark(ItemRecord* item) {
  const bool copy = item->kind == TOLVEX_ITEM_COPY || item->kind == TOLVEX_ITEM_COPY_BACK;
  if (copy && item->outcome == TOLVEX_OUTCOME_FAILED && item->error == TOLVEX_ERROR_INTERRUPTED) {
    // The skip names the pair unswapped; an inverted copy swapped it.
    pairs_.insert(item->from + '\n' + item->to);
    pairs_.insert(item->to + '\n' + item->from);
  } else if (item->kind == TOLVEX_ITEM_SKIP && item->reason == TOLVEX_REASON_COPY_FAILED &&
             pairs_.count(item->from + '\n' + item->to) != 0) {
    item->reason = kReasonInterruptedByYou;
  }
}

std::string ReasonName(int32_t reason) {
  switch (reason) {
    case TOLVEX_REASON_IGNORED_ORPHAN: return "ignored orphan";
    case TOLVEX_REASON_BY_USER: return "ignored by the user";
    case TOLVEX_REASON_CONFLICT: return "conflict";
    case TOLVEX_REASON_NAME_CLASH: return "name clash";
    case TOLVEX_REASON_COPY_FAILED: return "its copy failed";
    case kReasonInterruptedByYou: return "interrupted by you";
    case TOLVEX_REASON_NO_ACTION: return "no action";
    case TOLVEX_REASON_EQUAL: return "equal";
    case TOLVEX_REASON_OLDER: return "older";
    case TOLVEX_REASON_LACKS_SPACE: return "lacks space";
    case TOLVEX_REASON_ERASE_LIMIT: return "over the erase limit";
    case TOLVEX_REASON_DELETED_ELSEWHERE: return "deleted on the other side since the last run";
    case TOLVEX_REASON_OLDER_THAN_LAST_RUN: return "older than the last run";
    default: return "";
  }
}

std::string FindingName(int32_t report) {
  switch (report) {
    case TOLVEX_REPORT_UNUSABLE_NAME: return "unusable name";
    case TOLVEX_REPORT_MISSING_FOLDER: return "missing folder";
    case TOLVEX_REPORT_CASE_TWIN: return "case twin";
    case TOLVEX_REPORT_NAME_CLASH: return "name clash";
    case TOLVEX_REPORT_CONFLICT: return "conflict";
    case TOLVEX_REPORT_UNREADABLE_FOLDER: return "unreadable folder";
    case TOLVEX_REPORT_LINK_NOT_FOLLOWED: return "link not followed";
    case TOLVEX_REPORT_ROTATION_BLOCKED: return "rotation blocked";
    case TOLVEX_REPORT_MOVED: return "moved";
    case TOLVEX_REPORT_SPECIAL_ENTRY: return "special file";
    default: return "report " + std::to_string(report);
  }
}

std::string Files(uint64_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

std::string ByteText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

bool NewerWins(const ItemRecord& item, const ItemStyle& style) {
  return style.last_update_known && (item.state & TOLVEX_STATE_COUNTER_CHANGED) &&
         item.counter_size + item.counter_stamp != 0;
}

std::string LinkName(uint32_t state) {
  switch (state & TOLVEX_ITEM_LINK_BITS) {
    case TOLVEX_ITEM_LINK_TO_FILE: return "link to a file";
    case TOLVEX_ITEM_LINK_TO_FOLDER: return "link to a folder";
    case TOLVEX_ITEM_LINK_DANGLING: return "dangling link";
    default: return "";
  }
}

std::string ItemText(const ItemRecord& item, const ItemStyle& style) {
  const DriveMap& drives = *style.drives;
  std::string verb = KindName(item.kind);
  if (verb.size() < kVerbColumns) verb.resize(kVerbColumns, ' ');
  std::string line = verb;
  switch (item.kind) {
    case TOLVEX_ITEM_FINDING:
      return line + FindingName(item.reason) + ": " + drives.ToNative(item.from);
    case TOLVEX_ITEM_ROTATION: {
      line += drives.ToNative(item.from) + " -> " + drives.ToNative(item.to);
      if (item.error == 0) return line;
      const bool judged = item.outcome == TOLVEX_OUTCOME_PLANNED;
      return line + "  (" + (judged ? "would fail: " : "failed: ") + ExplainError(item.error) + ")";
    }
    case TOLVEX_ITEM_GENERATION:
    case TOLVEX_ITEM_FOLDER_REMOVED:
    case TOLVEX_ITEM_FOLDER_MADE:
      return line + drives.ToNative(item.from);
    default:
      break;
  }
  if (!HasFiles(item)) return line;
  line += drives.ToNative(item.from);
  if (HasTarget(item)) line += " -> " + drives.ToNative(item.to);
  line += "  " + Figures(item);
  const std::string notes = Notes(item, style);
  if (!notes.empty()) line += "  (" + notes + ")";
  return line;
}

std::string ItemJson(const ItemRecord& item, const ItemStyle& style) {
  const DriveMap& drives = *style.drives;
  JsonObject json;
  json.Text("kind", JsonKind(item.kind));
  if (item.outcome != TOLVEX_OUTCOME_PLANNED) json.Text("outcome", OutcomeName(item.outcome));
  switch (item.kind) {
    case TOLVEX_ITEM_FINDING:
      return json.Text("what", FindingName(item.reason)).Text("path", drives.ToNative(item.from)).str();
    case TOLVEX_ITEM_GENERATION:
    case TOLVEX_ITEM_FOLDER_REMOVED:
    case TOLVEX_ITEM_FOLDER_MADE:
      return json.Text("folder", drives.ToNative(item.from)).str();
    case TOLVEX_ITEM_ROTATION:
      json.Text("from", drives.ToNative(item.from)).Text("to", drives.ToNative(item.to));
      json.Flag("ok", item.error == 0).Unsigned("error", item.error);
      return json.str();
    case TOLVEX_ITEM_UNCHANGED:
      if (item.from.empty()) {
        json.Text("reason", ReasonName(item.reason));
        return json.Number("files", item.number).Number("bytes", item.limit).str();
      }
      break;
    case TOLVEX_ITEM_SPACE:
      json.Text("drive", std::string(1, static_cast<char>(item.drive)));
      json.Number("need", item.number).Number("available", item.limit);
      return json.Flag("enough", item.reason != TOLVEX_REASON_LACKS_SPACE).str();
    case TOLVEX_ITEM_SIDE:
      json.Text("side", item.side == 0 ? "source" : "destination");
      json.Number("erase", item.number).Number("files", item.limit);
      return json.Flag("over_erase_limit", item.reason == TOLVEX_REASON_ERASE_LIMIT).str();
    default:
      break;
  }
  if (!HasFiles(item)) return json.str();
  json.Text("from", drives.ToNative(item.from));
  json.Unsigned("size", item.size).Text("stamp", FormatStamp(item.stamp));
  if (HasTarget(item)) {
    json.Text("to", drives.ToNative(item.to));
    const bool absent = item.counter_size == 0 && item.counter_stamp == 0;
    json.Unsigned("counter_size", item.counter_size);
    if (absent) {
      json.Null("counter_stamp");
    } else {
      json.Text("counter_stamp", FormatStamp(item.counter_stamp));
    }
  }
  json.Text("side", item.side == 0 ? "source" : "destination");
  json.Unsigned("state", item.state);
  if (!LinkName(item.state).empty()) json.Text("link", LinkName(item.state));
  if (item.kind == TOLVEX_ITEM_SET_MODE) {
    json.Text("mode", ModeText(item.number)).Text("counter_mode", ModeText(item.limit));
  }
  if (item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK) {
    json.Flag("newer_wins", NewerWins(item, style));
    json.Flag("new_work", (item.state & TOLVEX_STATE_NEW_WORK) != 0);
    json.Flag("size_warning", (item.state & TOLVEX_STATE_SIZE_WARNING) != 0);
  }
  if (item.reason != TOLVEX_REASON_NONE) json.Text("reason", ReasonName(item.reason));
  if (item.outcome == TOLVEX_OUTCOME_FAILED) {
    json.Unsigned("error", item.error);
    json.Text("error_text", item.kind == TOLVEX_ITEM_ERASE
                                ? ExplainError(item.error)
                                : ExplainCopyError(item.error, drives.ToNative(item.from),
                                                   drives.ToNative(item.to)));
  }
  return json.str();
}

}  // namespace tolvex::frontend
