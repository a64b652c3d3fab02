#include "engine/run_items.h"

#include <utility>

#include "engine/sync_state_run.h"
#include "model/sync_state.h"
#include "platform/platform.h"

namespace tolvex {

namespace {

int SideOf(uint16_t state) { return (state & STATE_DEST_SIDE) ? 1 : 0; }

void SetFiles(TolvexItem& item, uint64_t size, uint32_t stamp, uint64_t counter_size,
              uint32_t counter_stamp, int side) {
  item.size = size;
  item.stamp = stamp;
  item.counter_size = counter_size;
  item.counter_stamp = counter_size != 0 ? counter_stamp : 0;
  item.side = side;
}

// The item's link bits for a file with `attributes`: none unless it is a
// symbolic link copied as a link.
uint32_t LinkBitsOf(uint32_t attributes) {
  if (!IsSymbolicLink(attributes)) return 0;
  if (attributes & kAttrLinkToFolder) return TOLVEX_ITEM_LINK_TO_FOLDER;
  if (attributes & kAttrLinkDangling) return TOLVEX_ITEM_LINK_DANGLING;
  return TOLVEX_ITEM_LINK_TO_FILE;
}

}  // namespace

RunItem::RunItem(int32_t kind) {
  item.struct_size = sizeof(TolvexItem);
  item.kind = kind;
}

RunItem CopyItemOf(const CANDIDATE& c, const CandidateTexts& texts) {
  const bool invert = (c.state & STATE_ACTION) == STATE_INVERT;
  const int scanned_side = SideOf(c.state);
  // The side written to: the other side of the file that is read.
  const int read_side = invert ? 1 - scanned_side : scanned_side;
  RunItem copy(read_side == 0 ? TOLVEX_ITEM_COPY : TOLVEX_ITEM_COPY_BACK);
  copy.item.state = c.state | LinkBitsOf(invert ? c.counterAttributes : c.attributes);
  if (invert) {
    copy.from = texts.counterPath;
    copy.to = texts.path;
    SetFiles(copy.item, c.counterSize, c.counterStamp, c.size, c.stamp, read_side);
  } else {
    copy.from = texts.path;
    copy.to = texts.counterPath;
    SetFiles(copy.item, c.size, c.stamp, c.counterSize, c.counterStamp, read_side);
  }
  return copy;
}

RunItem ModeItemOf(const CANDIDATE& c, const CandidateTexts& texts) {
  RunItem item = CopyItemOf(c, texts);
  item.item.kind = TOLVEX_ITEM_SET_MODE;
  const bool invert = (c.state & STATE_ACTION) == STATE_INVERT;
  item.item.number = ModeOf(invert ? c.counterAttributes : c.attributes) & kModeBits;
  item.item.limit = ModeOf(invert ? c.attributes : c.counterAttributes) & kModeBits;
  return item;
}

RunItem SkipItemOf(const CANDIDATE& c, const CandidateTexts& texts, int32_t reason) {
  RunItem skip(TOLVEX_ITEM_SKIP);
  skip.item.state = c.state | LinkBitsOf(c.attributes);
  skip.item.reason = reason;
  skip.from = texts.path;
  skip.to = texts.counterPath;
  SetFiles(skip.item, c.size, c.stamp, c.counterSize, c.counterStamp, SideOf(c.state));
  return skip;
}

int32_t EraseReasonOf(const CANDIDATE& c, const SyncRun& sync_run) {
  if (!(c.state & STATE_DELETED_ELSEWHERE)) return TOLVEX_REASON_NONE;
  return sync_run.evidence == SyncEvidence::kList ? TOLVEX_REASON_DELETED_ELSEWHERE
                                                  : TOLVEX_REASON_OLDER_THAN_LAST_RUN;
}

std::vector<RunItem> EraseItemsOf(const CANDIDATE& c, const CandidateTexts& texts,
                                  const SyncRun& sync_run) {
  std::vector<RunItem> files;
  const int side = SideOf(c.state);
  RunItem file(TOLVEX_ITEM_ERASE);
  file.item.state = c.state | LinkBitsOf(c.attributes);
  file.item.reason = EraseReasonOf(c, sync_run);
  file.from = texts.path;
  SetFiles(file.item, c.size, c.stamp, 0, 0, side);
  files.push_back(file);
  if (c.counterHasBytes()) {
    file.from = texts.counterPath;
    file.item.state = c.state | LinkBitsOf(c.counterAttributes);
    SetFiles(file.item, c.counterSize, c.counterStamp, 0, 0, 1 - side);
    files.push_back(file);
  }
  return files;
}

int32_t SkipReasonOf(const CANDIDATE& c) {
  if ((c.state & STATE_ACTION) != STATE_IGNORE) return TOLVEX_REASON_NO_ACTION;
  if (c.state & STATE_CONFLICT) return TOLVEX_REASON_CONFLICT;
  if (c.state & STATE_NAME_CLASH) return TOLVEX_REASON_NAME_CLASH;
  // A counterpart of 0 bytes still has a stamp; an orphan has neither.
  if (!c.counterHasBytes() && c.counterStamp == 0) return TOLVEX_REASON_IGNORED_ORPHAN;
  // The scan ignores pairs only for the reasons above.
  return TOLVEX_REASON_BY_USER;
}

void RunItems::ShowScannedRootAs(std::string scanned, std::string shown) {
  scanned_root_ = std::move(scanned);
  shown_root_ = std::move(shown);
}

std::string RunItems::Shown(const std::string& path) const {
  if (scanned_root_.empty() || scanned_root_ == shown_root_) return path;
  if (path.compare(0, scanned_root_.size(), scanned_root_) != 0) return path;
  return shown_root_ + path.substr(scanned_root_.size());
}

void RunItems::Fill(RunItem& item, std::string* from, std::string* to) const {
  *from = Shown(item.from);
  *to = Shown(item.to);
  item.item.from = item.from.empty() ? nullptr : from->c_str();
  item.item.to = item.to.empty() ? nullptr : to->c_str();
}

void RunItems::Outcome(RunItem item) const {
  NoteSyncOutcome(sync_run_, item.item, item.from, item.to);
  if (!extension_.outcomeProc) return;
  std::string from;
  std::string to;
  Fill(item, &from, &to);
  extension_.outcomeProc(&item.item);
}

void RunItems::Found(const FINDING& finding) const {
  RunItem found(TOLVEX_ITEM_FINDING);
  found.item.reason = finding.kind;
  found.item.outcome = TOLVEX_OUTCOME_SKIPPED;
  found.from = finding.path;
  Outcome(std::move(found));
}

void RunItems::Renamed(const RotationStep& step) const {
  RunItem rename(TOLVEX_ITEM_ROTATION);
  rename.item.outcome = step.error == 0 ? TOLVEX_OUTCOME_DONE : TOLVEX_OUTCOME_FAILED;
  rename.item.error = step.error;
  rename.from = step.from;
  rename.to = step.to;
  Outcome(std::move(rename));
}

void RunItems::FolderRemoved(const std::string& folder, int side) const {
  RunItem removed(TOLVEX_ITEM_FOLDER_REMOVED);
  removed.item.outcome = TOLVEX_OUTCOME_DONE;
  removed.item.side = side;
  removed.from = folder;
  Outcome(std::move(removed));
}

int RunItems::Plan(RunItem item) const {
  if (!extension_.planProc) return TOLVEX_PLAN_GO;
  std::string from;
  std::string to;
  Fill(item, &from, &to);
  item.item.outcome = TOLVEX_OUTCOME_PLANNED;
  return extension_.planProc(&item.item);
}

}  // namespace tolvex
