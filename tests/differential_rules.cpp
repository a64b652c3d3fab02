// The rules the differential test checks after every run.
#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <filesystem>

#include "tests/differential_fixture.h"

namespace tolvex::runtest {

namespace fs = std::filesystem;

Differential::Pass Differential::Call(int dry_run) {
  platform_.now = LocalOf(clock_);
  static const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  job_.weekday = kWeekdays[platform_.now.weekday];
  ui_.overviewConfirms = !draw_.overviewCancels;
  SetDryRun(dry_run);
  Channels() = ChannelRecorder();
  Recorder() = CallbackRecorder();
  Pass pass;
  Recorder().confirmBy = [this, &pass](const FileQuestion& question) {
    const int answers[] = {TOLVEX_CONFIRM_NORMAL, TOLVEX_CONFIRM_NORMAL, TOLVEX_CONFIRM_IGNORE,
                           TOLVEX_CONFIRM_ERASE, TOLVEX_CONFIRM_INVERT, TOLVEX_CONFIRM_IGNORE_GROUP,
                           TOLVEX_CONFIRM_ASK_NO_MORE};
    // Half the answers keep what the plan says of the file.
    const uint32_t action = question.value & TOLVEX_STATE_ACTION;
    const int kept = action == TOLVEX_STATE_IGNORE  ? TOLVEX_CONFIRM_IGNORE
                     : action == TOLVEX_STATE_ERASE  ? TOLVEX_CONFIRM_ERASE
                     : action == TOLVEX_STATE_INVERT ? TOLVEX_CONFIRM_INVERT
                                                     : TOLVEX_CONFIRM_NORMAL;
    const int answer = Chance(50) ? kept : Of(answers);
    if (trace_) std::printf("  asked %s / %s (state %x): %d\n", question.path.c_str(), question.counterPath.c_str(), question.value, answer);
    if (answer != kept && answer != TOLVEX_CONFIRM_ASK_NO_MORE) pass.asPlanned = false;
    pass.consented.insert(Caseless(question.path));
    pass.consented.insert(Caseless(question.counterPath));
    return answer;
  };
  pass.result = Run();
  // The checks that end a run before anything is scanned: such a run
  // leaves the sides as they were, not in step.
  static const int kRefusals[] = {TOLVEX_NOTIFY_NO_SELECTIONS, TOLVEX_NOTIFY_IDENTICAL,
                                  TOLVEX_NOTIFY_DRIVE_NOT_FOUND, TOLVEX_NOTIFY_DRIVES_MEET,
                                  TOLVEX_NOTIFY_DESTINATION_MISSING, TOLVEX_NOTIFY_ROTATION_FAILED,
                                  TOLVEX_NOTIFY_FLAT_BOTH_WAYS, TOLVEX_NOTIFY_CASE_APART};
  for (const NotifyCall& call : Recorder().notifications) {
    pass.refused = pass.refused || std::find(std::begin(kRefusals), std::end(kRefusals), call.code) !=
                                       std::end(kRefusals);
  }
  pass.plan = Channels().plan;
  pass.outcomes = Channels().outcomes;
  if (trace_) {
    std::printf("%s run %d of session %d: %s, returned %d\n", dry_run ? "dry" : "real", runInSession_,
                session_, Describe().c_str(), pass.result);
    for (const ChannelItem& item : dry_run ? pass.plan : pass.outcomes) {
      std::printf("    %s (outcome %d, error %u)\n", item.Action().c_str(), item.outcome, item.error);
    }
  }
  ++runs_;
  return pass;
}

void Differential::Violation(const std::string& rule, const std::string& what) {
  ++violations_[rule];
  if (reported_ < 12) {
    ADD_FAILURE() << rule << ": " << what << "\n  job: " << Describe() << "\n  run " << runInSession_
                  << " of session " << session_ << " of seed " << seed_;
    ++reported_;
  }
}

Tree Differential::Rotated(const Tree& before, const std::vector<ChannelItem>& items) {
  Tree tree = before;
  for (const ChannelItem& rename : ChannelRecorder::OfKind(items, TOLVEX_ITEM_ROTATION)) {
    // An outcome counts when done; a plan's rename (no outcome yet) as judged.
    const bool planned = rename.outcome == 0;
    if (planned ? rename.error != 0 : rename.outcome != TOLVEX_OUTCOME_DONE) continue;
    Tree moved;
    for (const auto& [path, entry] : tree) {
      // (A folder that is a link has its own entry, without the backslash.)
      const bool below = Below(path, rename.from + "\\", false) || Caseless(path) == Caseless(rename.from);
      moved[below ? rename.to + path.substr(rename.from.size()) : path] = entry;
    }
    tree = std::move(moved);
  }
  return tree;
}

bool Differential::MayChange(const std::string& path) const {
  if (path == job_.logFile || path == kSyncStateFile) return true;
  if (Below(path, "T:\\Backup\\", true)) return true;
  // One way the source is only read; its empty folders go when the job says so.
  const bool folder = path.back() == '\\';
  if (draw_.touch == 0 && draw_.confirm != 1 && !(folder && job_.deleteSrcDirs)) return false;
  if (path == "S:\\Data\\" || (draw_.caseTwinInclude && path == "S:\\data\\")) return true;
  return Selected(path) || (path.back() == '\\' && Selected(path + "x"));
}

void Differential::CheckRun(const Tree& before, const Pass& dry, const Pass& run) {
  const Tree after = SnapshotDrives(drives_, "STU");
  const bool stopped = run.result != 1;
  bool ends_over_limit = false;
  for (const ChannelItem& item : run.plan) {
    if (item.kind == TOLVEX_ITEM_END && item.reason == TOLVEX_REASON_ERASE_LIMIT) ends_over_limit = true;
  }
  const std::string log = job_.logFile;

  // The dry run's plan is the run's.
  if (run.asPlanned && !stopped && ChannelRecorder::Actions(dry.plan) != ChannelRecorder::Actions(run.plan)) {
    Violation("the plan of the dry run is not the run's", Listing(dry.plan) + "\n  the run's plan:" + Listing(run.plan));
  }
  std::set<std::string> seen;
  for (const std::string& action : ChannelRecorder::Actions(run.plan)) {
    if (!seen.insert(action).second) Violation("an action twice in one plan", action);
  }
  if (run.asPlanned && !ends_over_limit && !OverviewCancelled(run)) {
    std::vector<std::string> done;
    for (const ChannelItem& item : run.outcomes) {
      if (item.IsAction()) done.push_back(item.Action());
    }
    if (done != ChannelRecorder::Actions(run.plan)) {
      Violation("the run did not do what its plan said", Listing(run.plan) + "\n  outcomes:" + Listing(run.outcomes));
    }
  }
  for (const ChannelItem& item : run.outcomes) {
    // (An answer may ask for what cannot be done: "invert" for a file with no counterpart.)
    if (item.IsAction() && item.outcome == TOLVEX_OUTCOME_FAILED && run.asPlanned) Violation("an action failed", item.Action() + " error " + std::to_string(item.error));
  }

  // Nothing outside the job changed; no temporary file stays.
  for (const auto& [path, entry] : after) {
    if (IsReservedName(path)) Violation("a temporary file stays", path);
    const auto old = before.find(path);
    if (old == before.end() && !MayChange(path) && !IsRotationPath(path, run)) Violation("written outside the job", "made " + path);
    if (old != before.end() && !(old->second == entry) && !MayChange(path)) Violation("written outside the job", "changed " + path);
  }
  for (const auto& [path, entry] : before) {
    if (!after.count(path) && !MayChange(path) && path != "U:\\probe") Violation("erased outside the job", path);
  }
  if (stopped || ends_over_limit || OverviewCancelled(run)) {
    for (const auto& [path, entry] : after) {
      const auto old = before.find(path);
      if (path != log && (old == before.end() || !(old->second == entry))) {
        Violation("a stopped run changed files", path);
      }
    }
  }

  // A selected folder stays (its job would report it missing from then on).
  for (const std::string& include : {std::string("S:\\Data\\"), std::string("S:\\data\\")}) {
    if (before.count(include) && !after.count(include)) Violation("a run removed its selected folder", include);
  }

  // No version destroyed unless an action (or the user) named it.
  const Tree rotated = Rotated(before, run.outcomes);
  std::set<std::string> named;  // caseless paths of done actions
  for (const ChannelItem& item : run.outcomes) {
    if (!item.IsAction() || item.outcome != TOLVEX_OUTCOME_DONE) continue;
    named.insert(Caseless(item.kind == TOLVEX_ITEM_ERASE ? item.from : item.to));
    if (item.kind == TOLVEX_ITEM_ERASE && !item.to.empty()) named.insert(Caseless(item.to));
  }
  for (const auto& [path, entry] : rotated) {
    if (entry.type == TreeEntry::kFolder || path == log || path == kSyncStateFile) continue;
    const TreeEntry* now = Find(after, path);
    const bool kept = now && now->type == entry.type && now->content == entry.content;
    if (kept || named.count(Caseless(path)) || run.consented.count(Caseless(path))) continue;
    Violation("a version destroyed that no action named", path + (now ? " (changed)" : " (gone)"));
  }

  // A target the plan took for absent was absent (no pipe or link replaced).
  // The plan names the generations as its rotation will; a run that stops
  // before the rotation never makes it.
  const Tree as_planned = Rotated(before, dry.plan);
  for (const ChannelItem& item : run.plan) {
    if (item.kind != TOLVEX_ITEM_COPY && item.kind != TOLVEX_ITEM_COPY_BACK) continue;
    const TreeEntry* target = Find(as_planned, item.to);
    const bool empty_file = target && target->type == TreeEntry::kFile && target->content.empty();
    if (empty_file && excluded_.Excludes(kEmptyTargetShownAbsent)) continue;
    if (item.counter_stamp == 0 && target && target->type != TreeEntry::kFolder) {
      Violation("the plan took a target for absent that was there",
                item.Action() + " (a " + std::string(1, static_cast<char>(target->type)) + " of " +
                    std::to_string(target->content.size()) + " bytes; the plan: " +
                    std::to_string(item.counter_size) + " bytes, state " + std::to_string(item.state) + ")");
    }
  }

  // Every outcome and log line tells the truth. (Answers may send two files
  // onto one target, or erase a target copied before: the last action on a
  // path is the one its state shows.)
  std::map<std::string, size_t> last_touch;  // caseless path -> index of the last action on it
  const auto is_copy = [](const ChannelItem& item) {
    return item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_COPY_BACK;
  };
  for (size_t i = 0; i < run.outcomes.size(); ++i) {
    const ChannelItem& item = run.outcomes[i];
    if (item.outcome != TOLVEX_OUTCOME_DONE) continue;
    if (is_copy(item)) last_touch[Caseless(item.to)] = i;
    if (item.kind == TOLVEX_ITEM_ERASE) last_touch[Caseless(item.from)] = i;
  }
  const auto last_is = [&](const std::string& path, const std::string& action) {
    const auto last = last_touch.find(Caseless(path));
    return last == last_touch.end() || run.outcomes[last->second].Action() == action;
  };
  // A copy whose source a later action of the run rewrote (answers may copy
  // onto a file that was copied from before) held what the source held then.
  const auto source_rewritten_after = [&](const std::string& from, const std::string& to) {
    const auto last = last_touch.find(Caseless(from));
    if (last == last_touch.end()) return false;
    for (size_t i = last->second; i-- > 0;) {
      const ChannelItem& item = run.outcomes[i];
      if (is_copy(item) && item.outcome == TOLVEX_OUTCOME_DONE && Caseless(item.from) == Caseless(from) &&
          Caseless(item.to) == Caseless(to)) {
        return true;
      }
    }
    return false;
  };
  for (size_t i = 0; i < run.outcomes.size(); ++i) {
    const ChannelItem& item = run.outcomes[i];
    if (item.outcome != TOLVEX_OUTCOME_DONE) continue;
    if (is_copy(item)) {
      if (last_is(item.to, item.Action()) && !source_rewritten_after(item.from, item.to)) {
        CheckCopied(rotated, after, item.from, item.to, "outcome");
      }
    } else if (item.kind == TOLVEX_ITEM_ERASE || item.kind == TOLVEX_ITEM_FOLDER_REMOVED) {
      if (Find(after, item.from) && item.from != log && last_is(item.from, item.Action())) {
        Violation("an erased file or folder is there", item.from);
      }
    }
  }
  if (!after.count(log)) {
    Violation("the run's log is gone", log);
  } else if (!stopped) {
    const std::vector<std::string> body = LogBody();
    for (size_t i = 0; i < body.size(); ++i) {
      const std::string& line = body[i];
      if (line.rfind("File copied: ", 0) == 0 && i + 1 < body.size() && body[i + 1].rfind("to: ", 0) == 0) {
        const std::string from = line.substr(13);
        const std::string to = body[i + 1].substr(4);
        const auto last = last_touch.find(Caseless(to));
        const bool last_action = last == last_touch.end() ||
                                 (is_copy(run.outcomes[last->second]) && Caseless(run.outcomes[last->second].from) == Caseless(from));
        if ((run.asPlanned || last_action) && !source_rewritten_after(from, to)) {
          CheckCopied(rotated, after, from, to, "log line");
        }
      } else if (line.rfind("File erased: ", 0) == 0) {
        const std::string path = line.substr(13);
        const auto last = last_touch.find(Caseless(path));
        const bool last_action = last == last_touch.end() || run.outcomes[last->second].kind == TOLVEX_ITEM_ERASE;
        if (Find(after, path) && path != log && last_action) Violation("the log says erased, the file is there", line);
      } else if (line.rfind("Directory deleted: ", 0) == 0 && Find(after, line.substr(19))) {
        Violation("the log says deleted, the folder is there", line);
      }
    }
  }
  CheckErasesJustified(rotated, run);
  if (!stopped && !ends_over_limit && !run.refused && !OverviewCancelled(run) && run.asPlanned) CheckInStep(after, run);
}

bool Differential::IsRotationPath(const std::string& path, const Pass& run) const {
  for (const ChannelItem& item : ChannelRecorder::OfKind(run.outcomes, TOLVEX_ITEM_ROTATION)) {
    if (Below(path, item.to, false) || Below(path, item.from, false)) return true;
  }
  return false;
}

void Differential::CheckCopied(const Tree& before, const Tree& after, const std::string& from, const std::string& to,
                 const char* told_by) {
  const TreeEntry* source = Find(before, from);
  const TreeEntry* target = Find(after, to);
#ifndef _WIN32
  // On Linux a link is copied as a link with its text.
  if (source && source->type == TreeEntry::kLink) {
    if (!target || target->type != TreeEntry::kLink || target->content != source->content) {
      Violation(std::string("the ") + told_by + " says copied, the target is not the same link",
                from + " -> " + to);
    }
    return;
  }
#endif
  if (!target || target->type != TreeEntry::kFile) {
    Violation(std::string("the ") + told_by + " says copied, the target is not a file", from + " -> " + to);
  } else if (source && source->type == TreeEntry::kFile && source->content != target->content &&
             !(answered_ && Find(after, from) && Find(after, from)->content == target->content)) {
    // (After answers that changed the plan, a source may have been written
    // earlier in the run: then the copy holds what it held then.)
    Violation(std::string("the ") + told_by + " says copied, the target holds other content", from + " -> " + to);
  }
}

void Differential::CheckErasesJustified(const Tree& before, const Pass& run) {
  for (const ChannelItem& item : run.outcomes) {
    if (item.kind != TOLVEX_ITEM_ERASE || item.outcome != TOLVEX_OUTCOME_DONE) continue;
    if (run.consented.count(Caseless(item.from))) continue;
    const bool in_source = Below(item.from, "S:\\", false);
    std::string reason;
    if (draw_.touch == 0) {
      if (in_source) reason = "a one-way run erased its source";
      else if (draw_.path != 0 && HasSource(before, RelativeOf(item.from, work_))) reason = "a mirror erased a backup whose source is there";
    } else if (draw_.touch == 2) {
      if (!in_source) reason = "a run to the source erased in the destination";
    } else {
      const std::string relative = in_source ? item.from.substr(8) : RelativeOf(item.from, work_);
      const std::string other = in_source ? CounterpartOf(relative, work_) : "S:\\Data\\" + relative;
      const bool paired = paired_.count(work_) && paired_.at(work_).count(Caseless(relative));
      if (!paired || !DeletedSince(work_, Caseless(other))) {
        reason = paired ? "both ways, an erase of a file whose counterpart the user did not delete"
                        : "both ways, an erase of a file the last run into this folder did not leave in step";
      }
    }
    if (!reason.empty()) Violation(reason, item.from);
  }
}

bool Differential::HasSource(const Tree& tree, const std::string& relative) const {
  if (relative.empty()) return false;
  const TreeEntry* entry = Find(tree, "S:\\Data\\" + relative);
  return entry && Selected("S:\\Data\\" + relative);
}

void Differential::CheckInStep(const Tree& after, const Pass& run) {
  if (draw_.path == 0 || draw_.touch == 2) return;
  std::set<std::string> left_alone;  // findings and skips, caseless
  for (const ChannelItem& item : run.outcomes) {
    if (item.kind == TOLVEX_ITEM_FINDING || item.kind == TOLVEX_ITEM_SKIP) {
      left_alone.insert(Caseless(item.from));
      left_alone.insert(Caseless(item.to));
    }
  }
  const bool copy_orphans = draw_.touch == 0 ? draw_.d1 == 0 : draw_.b != 1;
  for (const auto& [path, entry] : after) {
    if (entry.type != TreeEntry::kFile || !Selected(path) || !Below(path, "S:\\Data\\", true)) continue;
    if (left_alone.count(Caseless(path))) continue;
    const std::string target = CounterpartOf(path.substr(8), work_);
    if (left_alone.count(Caseless(target)) || InLeftAloneFolder(left_alone, path) ||
        InLeftAloneFolder(left_alone, target)) {
      continue;
    }
    const TreeEntry* backup = Find(after, target);
    if (!backup) {
      if (copy_orphans && !BlockedByCaseTwin(after, path)) {
        std::string alike;  // what the destination holds of that name in any letter case
        for (const auto& [other, item] : after) {
          if (Caseless(other).find(Caseless(target.substr(target.rfind('\\')))) != std::string::npos) alike += " " + other;
        }
        Violation("a source file has no backup after a completed run", path + (alike.empty() ? "" : "; there are" + alike));
      }
    } else if (backup->type == TreeEntry::kFile && backup->content != entry.content && backup->time <= entry.time) {
      Violation("a backup older than its source holds other content after a completed run", path + " / " + target);
    }
  }
  if (draw_.touch != 1) return;
  for (const auto& [path, entry] : after) {
    if (entry.type != TreeEntry::kFile || path == job_.logFile || left_alone.count(Caseless(path))) continue;
    const std::string relative = RelativeOf(path, work_);
    const std::string source = "S:\\Data\\" + relative;
    if (relative.empty() || !Selected(source) || left_alone.count(Caseless(source))) continue;
    if (InLeftAloneFolder(left_alone, path) || InLeftAloneFolder(left_alone, source)) continue;
    const TreeEntry* original = Find(after, source);
    if (!original) {
      if (copy_orphans && !BlockedByCaseTwin(after, path)) Violation("both ways, a destination file has no source after a completed run", path);
    } else if (original->type == TreeEntry::kFile && original->content != entry.content && original->time <= entry.time) {
      Violation("both ways, a source older than its destination file holds other content after a completed run", source + " / " + path);
    }
  }
}

bool Differential::InLeftAloneFolder(const std::set<std::string>& left_alone, const std::string& path) {
  for (const std::string& folder : left_alone) {
    if (!folder.empty() && folder.back() == '\\' && Below(path, folder, false)) return true;
  }
  return false;
}

bool Differential::BlockedByCaseTwin(const Tree& tree, const std::string& path) {
  const std::string key = Caseless(path);
  for (const auto& [other, entry] : tree) {
    if (other != path && Caseless(other) == key) return true;
  }
  return false;
}

std::string Differential::Listing(const std::vector<ChannelItem>& items) {
  std::string text;
  for (const std::string& action : ChannelRecorder::Actions(items)) text += "\n    " + action;
  return text;
}

}  // namespace tolvex::runtest
