#include "scan/two_way_orphans.h"

#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/sync_state.h"

namespace tolvex {

namespace {

bool IsOrphan(const CANDIDATE& c) { return c.counterSize == 0 && c.counterStamp == 0; }

int SideOf(const CANDIDATE& c) { return (c.state & STATE_DEST_SIDE) ? 1 : 0; }

// The orphans the decision judged under the erase mode: erased, or copied
// as new work.
bool JudgedByStamp(const CANDIDATE& c) {
  if (!IsOrphan(c)) return false;
  const uint16_t action = c.state & STATE_ACTION;
  return action == STATE_ERASE || (action == STATE_NORMAL && (c.state & STATE_NEW_WORK));
}

void MarkNew(CANDIDATE* c) {
  c->state = ReplaceAction(c->state, STATE_NORMAL);
  c->state = static_cast<uint16_t>((c->state | STATE_NEW_WORK) & ~STATE_DELETED_ELSEWHERE);
}

void MarkDeleted(CANDIDATE* c) {
  c->state = ReplaceAction(c->state, STATE_ERASE);
  c->state = static_cast<uint16_t>((c->state | STATE_DELETED_ELSEWHERE) & ~STATE_NEW_WORK);
}

std::string FileName(const CANDIDATE& c) { return c.name + c.extension; }

// The folder an orphan's file lies in, named on the source side, so that
// the ends of a move on the two sides can be compared.
std::string SourceSideFolder(const Plan& plan, const CANDIDATE& c) {
  const STRING& folder =
      SideOf(c) == 0 ? plan.dirList[c.dirIndex] : plan.counterpartList[c.dirIndex];
  return plan.namesTellCaseApart ? folder.text() : SyncKey(folder.text(), "");
}

bool HeldUnchanged(const Plan& plan, const CANDIDATE& c) {
  const int side = SideOf(c);
  const std::string path = plan.dirList[c.dirIndex].text() + FileName(c);
  const std::string other = plan.counterpartList[c.dirIndex].text() + FileName(c);
  const auto found =
      plan.syncRun.held.find(side == 0 ? SyncKey(path, other, plan.syncRun.exactKeys)
                                       : SyncKey(other, path, plan.syncRun.exactKeys));
  if (found == plan.syncRun.held.end()) return false;
  // Where case tells names apart, "a.txt" is never held by the entry of its
  // twin "A.txt" (a list keyed otherwise, by a run that folded case).
  if (plan.namesTellCaseApart &&
      (found->second.path[side] != path || found->second.path[1 - side] != other)) {
    return false;
  }
  return found->second.size[side] == c.size && found->second.stamp[side] == c.stamp;
}

// Both ends of each move among the orphans to erase: matched on size and
// stamp, first by name (which also shows the folders that moved), then by
// folder. Returns the pairs of candidate indexes (source end, destination end).
std::vector<std::pair<size_t, size_t>> FindMoves(const Plan& plan) {
  // Ends to erase by (size, stamp), per side, in plan order.
  std::map<std::pair<uint64_t, uint32_t>, std::vector<size_t>> ends[2];
  for (size_t i = 0; i < plan.candidates.size(); ++i) {
    const CANDIDATE& c = plan.candidates[i];
    if (!IsOrphan(c) || (c.state & STATE_ACTION) != STATE_ERASE) continue;
    ends[SideOf(c)][{c.size, c.stamp}].push_back(i);
  }
  std::vector<std::pair<size_t, size_t>> moves;
  std::unordered_set<size_t> matched;
  std::unordered_set<std::string> moved_folders;  // "source folder\tother folder"
  const auto match = [&](const auto& same) {
    for (const auto& [figures, sources] : ends[0]) {
      const auto others = ends[1].find(figures);
      if (others == ends[1].end()) continue;
      for (const size_t s : sources) {
        if (matched.count(s) != 0) continue;
        for (const size_t d : others->second) {
          if (matched.count(d) != 0 || !same(plan.candidates[s], plan.candidates[d])) continue;
          matched.insert(s);
          matched.insert(d);
          moves.emplace_back(s, d);
          moved_folders.insert(SourceSideFolder(plan, plan.candidates[s]) + '\n' +
                               SourceSideFolder(plan, plan.candidates[d]));
          break;
        }
      }
    }
  };
  match([&plan](const CANDIDATE& a, const CANDIDATE& b) {
    if (plan.namesTellCaseApart) return FileName(a) == FileName(b);
    return SyncKey(FileName(a), "") == SyncKey(FileName(b), "");
  });
  match([&](const CANDIDATE& a, const CANDIDATE& b) {
    const std::string from = SourceSideFolder(plan, a);
    const std::string to = SourceSideFolder(plan, b);
    return from == to || moved_folders.count(from + '\n' + to) != 0;
  });
  return moves;
}

void KeepBothEndsOfMoves(Plan& plan, FindingSink* sink) {
  for (const auto& [s, d] : FindMoves(plan)) {
    for (const size_t i : {s, d}) {
      CANDIDATE& c = plan.candidates[i];
      c.state = ReplaceAction(c.state, STATE_NORMAL);
      c.state = static_cast<uint16_t>((c.state | STATE_MOVED) & ~STATE_DELETED_ELSEWHERE);
      sink->Add(TOLVEX_REPORT_MOVED, plan.dirList[c.dirIndex].text() + FileName(c));
    }
  }
}

}  // namespace

void GatherSyncPair(SyncRun& sync_run, const std::string& source_path,
                    const std::string& destination_path, uint64_t source_size,
                    uint32_t source_stamp, uint64_t destination_size, uint32_t destination_stamp) {
  SyncRecord record;
  record.path[0] = source_path;
  record.path[1] = destination_path;
  record.size[0] = source_size;
  record.size[1] = destination_size;
  record.stamp[0] = source_stamp;
  record.stamp[1] = destination_stamp;
  sync_run.pairs.push_back(std::move(record));
}

void JudgeTwoWayOrphans(const TParameters& parameters, Plan& plan, FindingSink* sink) {
  if (parameters.TouchMode != TOLVEX_TOUCH_BOTH_WAYS || parameters.OrphanModeB != TOLVEX_ORPHAN_ERASE) {
    return;
  }
  for (CANDIDATE& c : plan.candidates) {
    if (!JudgedByStamp(c)) continue;
    switch (plan.syncRun.evidence) {
      case SyncEvidence::kList: HeldUnchanged(plan, c) ? MarkDeleted(&c) : MarkNew(&c); break;
      case SyncEvidence::kNewFolder:
        MarkNew(&c);
        break;
      case SyncEvidence::kLastUpdate:
        if ((c.state & STATE_ACTION) == STATE_ERASE) c.state |= STATE_DELETED_ELSEWHERE;
        break;
    }
  }
  if (plan.syncRun.evidence == SyncEvidence::kLastUpdate) KeepBothEndsOfMoves(plan, sink);
}

}  // namespace tolvex
