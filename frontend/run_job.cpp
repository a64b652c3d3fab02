#include "frontend/run_job.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <variant>
#include <vector>

#include "frontend/engine_library.h"
#include "frontend/exit_status.h"
#include "frontend/interrupt.h"
#include "frontend/item_record.h"
#include "frontend/job_report.h"
#include "frontend/job_state.h"
#include "frontend/json_text.h"
#include "frontend/layout_check.h"
#include "frontend/run_summary.h"
#include "frontend/value_forms.h"
#include "platform/dos_stamp.h"
#include "platform/platform.h"

namespace tolvex::frontend {

namespace {

// The callbacks are plain C functions; during a run they reach the answers
// through this pointer. No exception may cross into the engine.
Answers* active_answers = nullptr;

int TOLVEX_CALLBACK OnNotify(int code, int drive, int number) {
  try {
    return active_answers->Notify(code, drive, number);
  } catch (...) {
    return TOLVEX_NOTIFY_NO;
  }
}

int TOLVEX_CALLBACK OnConfirm(const char* path, const char* counter_path, uint32_t size,
                              uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                              int state) {
  try {
    return active_answers->Confirm(path, counter_path, size, counter_size, stamp, counter_stamp,
                                   state);
  } catch (...) {
    return TOLVEX_CONFIRM_ABORT;
  }
}

int TOLVEX_CALLBACK OnCopyError(const char* path, const char* counter_path, uint32_t size,
                                uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                uint32_t error) {
  try {
    return active_answers->CopyError(path, counter_path, size, counter_size, stamp, counter_stamp,
                                     error);
  } catch (...) {
    return TOLVEX_COPY_SKIP;
  }
}

int TOLVEX_CALLBACK OnMakeDir(const char* folder) {
  try {
    active_answers->MakeDir(folder);
  } catch (...) {
  }
  return 0;
}

// The sync state file beside the job in drive form, its drive known before
// the drive table goes to the platform layer. A job that names no drive
// keeps the POSIX layer's default table, whose only drive Z: is "/".
std::string SyncStateDrivePath(Job* job) {
  const std::string native = SyncStatePathOf(job->path);
#if !defined(_WIN32)
  if (job->drives.drives().empty()) {
    std::string drive_form = "Z:" + native;
    for (char& c : drive_form) c = c == '/' ? '\\' : c;
    return drive_form;
  }
#endif
  std::string no_drive;
  return job->drives.ToDriveForm(native, PathKind::kFile, &no_drive).value_or(std::string());
}

}  // namespace

void InstallDriveTable(const Job& job) {
#if !defined(_WIN32)
  // The POSIX platform layer, the library's and the command's own, reads
  // its drive table from here.
  // A job that names no drive of its own keeps the layer's default table.
  if (job.drives.drives().empty()) {
    unsetenv("TOLVEX_DRIVES");
  } else {
    setenv("TOLVEX_DRIVES", job.drives.EnvironmentValue().c_str(), 1);
  }
  Sys().ReloadDrives();
#else
  (void)job;
#endif
}

std::optional<Job> PrepareJob(const std::string& job_path) {
  auto loaded = LoadJob(job_path);
  if (auto* errors = std::get_if<JobErrors>(&loaded)) {
    for (const JobError& error : *errors) std::cerr << "tolvex: " << error.Format() << "\n";
    return std::nullopt;
  }
  Job job = std::move(std::get<Job>(loaded));
  for (const JobError& warning : job.warnings) {
    std::cerr << "tolvex: " << warning.FormatAsWarning() << "\n";
  }
  job.sync_state = SyncStateDrivePath(&job);
  InstallDriveTable(job);
  const LocalTime now = Sys().Now();
  ResolveRunValues(&job, now);
  if (const auto error = CheckDestinationScan(job, now)) {
    std::cerr << "tolvex: " << error->Format() << "\n";
    return std::nullopt;
  }
  return job;
}

bool LoadEngine(const RunOptions& options, EngineLibrary* engine) {
  std::string errors;
  for (const std::string& candidate : LibraryCandidates(options.library)) {
    std::string error;
    if (engine->Load(candidate, &error)) return true;
    errors += "\n  " + error;
  }
  std::cerr << "tolvex: the engine library cannot be loaded:" << errors << "\n";
  return false;
}

namespace {

ChannelSink* active_sink = nullptr;

int TOLVEX_CALLBACK OnPlanItem(const TolvexItem* item) {
  try {
    active_sink->plan.push_back(ItemRecord::Of(*item));
    const ItemRecord& record = active_sink->plan.back();
    if (record.kind == TOLVEX_ITEM_END && active_sink->answer_end) {
      return active_sink->answer_end(record);
    }
    return TOLVEX_PLAN_GO;
  } catch (...) {
    // Without a record of the plan the command could not tell what it did.
    return TOLVEX_PLAN_STOP;
  }
}

void TOLVEX_CALLBACK OnOutcomeItem(const TolvexItem* item) {
  try {
    active_sink->outcomes.push_back(ItemRecord::Of(*item));
    if (active_sink->show_outcome) active_sink->show_outcome(active_sink->outcomes.back());
  } catch (...) {
  }
}

}  // namespace

int32_t CallEngine(const EngineLibrary& engine, Answers* answers, ChannelSink* sink) {
  const EngineExports& exports = engine.exports();
  exports.SetPlanProc(OnPlanItem);
  exports.SetOutcomeProc(OnOutcomeItem);
  active_answers = answers;
  active_sink = sink;
  int32_t result = 0;
  {
    InterruptForwarding interrupts(exports.CancelUpdate);
    result = exports.CallUpdate(OnNotify, OnConfirm, OnCopyError, OnMakeDir);
  }
  active_answers = nullptr;
  active_sink = nullptr;
  return result;
}

std::string StatusLine(int status, const RunSummary& summary, bool stopped_by_guard) {
  switch (status) {
    case kExitAborted:
      return stopped_by_guard ? "Run stopped by the erase limit; nothing was erased or copied."
                              : "Run aborted.";
    case kExitStoppedByCheck: return "Run ended by a check of the job.";
    case kExitRunFailed: return "Run failed.";
    case kExitCopiesFailed: {
      std::string reasons;
      for (const std::string& reason : summary.LeftOut()) {
        reasons += (reasons.empty() ? "" : ", ") + reason;
      }
      return "Run completed, but not everything selected was backed up: " + reasons + ".";
    }
    default: return "Run completed.";
  }
}

std::string Seconds(std::chrono::steady_clock::duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s",
                std::chrono::duration<double>(duration).count());
  return text;
}

namespace {

void RecordRun(const Job& job, uint32_t run_start) {
  std::string error;
  if (!WriteState(StatePathOf(job.path), run_start, &error)) {
    std::cerr << "tolvex: warning: " << error << "; the next run cannot know this one\n";
  }
}

// The last component of a drive-form folder ("Z:\\b\\Grandson\\" gives
// "Grandson").
std::string LastName(std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder.substr(folder.find_last_of('\\') + 1);
}

// Keeps the state file's [Generations] true after a run: the times follow
// the rotation's renames, and the folder the run wrote into gets the run's
// start when it completed (0 or 4: everything else of the plan was carried
// out), or loses its time when the run changed it and stopped.
void RecordGenerations(const Job& job, const RunSummary& summary,
                       const std::vector<ItemRecord>& outcomes, int status, uint32_t run_start) {
  const std::string state_path = StatePathOf(job.path);
  GenerationTimes times = ReadGenerationTimes(state_path);
  const GenerationTimes before = times;
  bool changed_files = false;
  for (const ItemRecord& item : outcomes) {
    if (item.kind == TOLVEX_ITEM_ROTATION && item.outcome == TOLVEX_OUTCOME_DONE) {
      const auto moved = times.find(LastName(item.from));
      std::optional<uint32_t> time;
      if (moved != times.end()) {
        time = moved->second;
        times.erase(moved);
      }
      if (time) times[LastName(item.to)] = *time;
      else times.erase(LastName(item.to));
    } else if (item.IsAction() && item.kind != TOLVEX_ITEM_SKIP &&
               item.outcome == TOLVEX_OUTCOME_DONE) {
      changed_files = true;
    }
  }
  const bool varies = job.Get("VaryMode").number != TOLVEX_VARY_NONE;
  const std::string working = varies ? LastName(summary.generation_folder) : "";
  // Destination itself is recorded with LastUpdate only (exit status 0), so
  // that a job without generations gets no state file that a run without
  // it would not have written.
  if (!varies && status == kExitCompleted) {
    times[working] = run_start;
  } else if (varies && !working.empty()) {
    if (status == kExitCompleted || status == kExitCopiesFailed) {
      times[working] = run_start;
    } else if (changed_files) {
      times.erase(working);
    }
  }
  if (times == before) return;
  std::string error;
  if (!WriteGenerationTimes(state_path, times, &error)) {
    std::cerr << "tolvex: warning: " << error << "; \"tolvex list\" cannot tell when this run was\n";
  }
}

}  // namespace

void HandOverJob(const Job& job, const EngineLibrary& engine, const RunOptions& options,
                 int32_t dry_run) {
  HandJobToEngine(job, engine);
  const EngineExports& exports = engine.exports();
  exports.SetSyncState(job.sync_state.c_str());
  exports.SetDryRun(dry_run);
  const bool quiet = options.verbosity != Verbosity::kNormal;
  exports.SetQuietViews(quiet ? 1 : 0);
}

namespace {

std::vector<std::string> NativeSources(const Job& job) {
  std::vector<std::string> sources;
  for (const std::string& include : job.lists[kDIncl]) sources.push_back(job.drives.ToNative(include));
  return sources;
}

std::string MaxEraseText(const Job& job) {
  const Setting& limit = job.Get("MaxErase");
  return FormatEraseLimit(EraseLimit{static_cast<int32_t>(limit.number), limit.percent});
}

// Why a job that asks questions cannot run here, or nullptr. Without a
// person to ask, a question must never be answered by a default that
// destroys a version (keep all: one side of a conflict overwrites the
// other), and a plan the user asked to see must never run unseen: such a
// job stops before anything is scanned, renamed or written.
// `overview_shown`: whether a terminal (or, on Windows, a dialog) can show
// the overview here.
const char* NoTerminalToAskOn(const Job& job, AnswerMode mode, bool overview_shown) {
  const int64_t confirm_mode = job.Get("ConfirmMode").number;
  if (confirm_mode == TOLVEX_CONFIRM_MODE_EACH_FILE && mode == AnswerMode::kNoTerminal) {
    return "the job asks about each file (ConfirmMode each-file), and standard input is no "
           "terminal to answer on; run it from a terminal, or answer with --yes or --no";
  }
  if (confirm_mode == TOLVEX_CONFIRM_MODE_OVERVIEW && !overview_shown) {
    return "the job shows its plan for confirmation first (ConfirmMode overview), and there is "
           "no terminal to show it on; run it from a terminal, or set ConfirmMode none";
  }
  return nullptr;
}

}  // namespace

std::string NothingToUpdate(const RunSummary& summary) {
  const uint64_t equal = summary.equal_pairs;
  const uint64_t older = summary.older_pairs;
  if (equal + older == 0) return "No files found: nothing to update.";
  if (older == 0) {
    return equal == 1 ? "Nothing to update: the 1 file found is equal on both sides."
                      : "Nothing to update: all " + std::to_string(equal) +
                            " files found are equal on both sides.";
  }
  return "Nothing to update: " + std::to_string(equal) + " equal on both sides, " +
         std::to_string(older) + " older than the other side's copy (left as they are).";
}

namespace {

// One key's value, as its export takes it.
void Hand(TextSetter set, const Setting& setting) { set(setting.text.c_str()); }
void Hand(IntSetter set, const Setting& setting) { set(static_cast<int32_t>(setting.number)); }
void Hand(UnsignedSetter set, const Setting& setting) { set(setting.number); }
void Hand(IntPairSetter set, const Setting& setting) {
  set(static_cast<int32_t>(setting.number), setting.percent);
}

}  // namespace

int ExitStatusOf(int32_t result, const RunOutcome& outcome, bool stopped_by_guard, bool left_out) {
  // CallUpdate returns 0 for a failed run too; the notification tells them apart.
  if (outcome.run_failed) return kExitRunFailed;
  if (result == 0 || outcome.space_refused || stopped_by_guard) return kExitAborted;
  if (outcome.ended_by_check) return kExitStoppedByCheck;
  return left_out ? kExitCopiesFailed : kExitCompleted;
}

void HandJobToEngine(const Job& job, const EngineLibrary& engine) {
  const EngineExports& exports = engine.exports();
  for (int list = 0; list < kListCount; ++list) {
    (exports.*kListExports[list].clear)();
    const TextSetter add = exports.*kListExports[list].add;
    for (const std::string& entry : job.lists[list]) add(entry.c_str());
    if (list == kFExcl) {
      for (const std::string& own : job.own_files) add(own.c_str());
    }
  }
  for (const Setting& setting : job.settings) {
    std::visit([&](auto slot) { Hand(exports.*slot, setting); }, setting.rule->setter);
  }
}

int CheckJob(const std::string& job_path, const RunOptions& options, bool unattended) {
  const auto job = PrepareJob(job_path);
  if (!job) return kExitJobError;
  PrintResolvedJob(*job, std::cout);
  if (unattended) {
    // As a timer or cron starts it: standard input no terminal, no terminal
    // to show an overview on (on Windows the overview is a dialog, shown
    // with or without a console), and the answer given on the command line.
    const AnswerMode mode = options.mode == AnswerMode::kAsk ? AnswerMode::kNoTerminal : options.mode;
#if defined(_WIN32)
    const bool overview_shown = true;
#else
    const bool overview_shown = false;
#endif
    if (const char* refusal = NoTerminalToAskOn(*job, mode, overview_shown)) {
      std::cerr << "tolvex: unattended, this job would stop before anything was done: " << refusal
                << "\n";
      return kExitNeedsTerminal;
    }
  }
  // A run backs up nothing from a source folder that is not there (a disk
  // not mounted, a folder renamed): it is left out (4), or, when none is
  // there, the run ends at its check (3).
  size_t missing = 0;
  for (const std::string& include : job->lists[kDIncl]) {
    std::string folder = include;
    if (!folder.empty() && folder.back() == '*') folder.pop_back();
    if (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    uint32_t attributes = 0;
    const uint32_t error = Sys().GetAttributes(folder, &attributes);
    if (error == kErrOk && (attributes & kAttrDirectory) != 0) continue;
    ++missing;
    std::cerr << "tolvex: warning: the source folder " << job->drives.ToNative(folder)
              << (error == kErrOk ? " is no folder" : " does not exist")
              << " ([DInclSels]); a run backs up nothing from it\n";
  }
  if (missing == 0) return kExitCompleted;
  return missing == job->lists[kDIncl].size() ? kExitStoppedByCheck : kExitCopiesFailed;
}

int RunJob(const std::string& job_path, const RunOptions& options) {
  const auto job = PrepareJob(job_path);
  if (!job) return kExitJobError;
  const bool json = options.format == OutputFormat::kJson;
  // Machine-readable output keeps standard output for its objects.
  std::ostream& messages = json ? std::cerr : std::cout;
  if (const char* refusal = NoTerminalToAskOn(*job, options.mode, TerminalCanShowOverview())) {
    std::cerr << "tolvex: stopped before anything was done: " << refusal << "\n";
    return kExitNeedsTerminal;
  }
  EngineLibrary engine;
  if (!LoadEngine(options, &engine)) return kExitNoEngine;
#if !defined(_WIN32)
  if (options.mode != AnswerMode::kAsk && job->Get("ConfirmMode").number == TOLVEX_CONFIRM_MODE_OVERVIEW) {
    messages << "Note: --yes and --no do not answer the overview (ConfirmMode 2); it is shown "
                "on the terminal.\n";
  }
#endif
  const auto started = std::chrono::steady_clock::now();
  const uint32_t run_start = PackStamp(Sys().Now());
  HandOverJob(*job, engine, options, TOLVEX_DRY_RUN_OFF);
  const ItemStyle style{&job->drives, job->Get("LastUpdate").number != 0};

  TerminalKeys keys;
  Answers answers(options.mode, job->drives, job->silent_copy_errors, messages, &keys);
  DestinationWait wait(job->drives.ToNative(job->Get("Destination").text), options.wait, messages);
  answers.set_destination_wait(&wait);
  ChannelSink sink;
  answers.set_outcomes(&sink.outcomes);
  InterruptedCopies interrupted;
  if (options.verbosity == Verbosity::kVerbose) {
    sink.show_outcome = [&](const ItemRecord& outcome) {
      ItemRecord item = outcome;
      interrupted.Mark(&item);
      std::cout << (json ? ItemJson(item, style) : ItemText(item, style)) << std::endl;
    };
  }
  bool stopped_by_guard = false;
  sink.answer_end = [&](const ItemRecord& end) {
    // OK in an overview that showed the erase limit's warning counts as
    // --force for this run; --yes does not.
    const bool over = end.reason == TOLVEX_REASON_ERASE_LIMIT;
    if (!over || options.force || (end.state & TOLVEX_PLAN_CONFIRMED)) return TOLVEX_PLAN_GO;
    stopped_by_guard = true;
    return TOLVEX_PLAN_STOP;
  };
  const int32_t result = CallEngine(engine, &answers, &sink);
  const RunSummary summary = Summarize(sink.plan, sink.outcomes, false);
  const int status = ExitStatusOf(result, answers.outcome(), stopped_by_guard, !summary.LeftOut().empty());

  if (stopped_by_guard) {
    std::cerr << "tolvex: stopped before anything was erased or copied: "
              << EraseLimitMessage(summary, NativeSources(*job), style, MaxEraseText(*job))
              << " See the plan with \"tolvex plan JOB\"; \"tolvex --force JOB\" runs it all "
                 "the same.\n";
  }
  if (status == kExitAborted && Interrupted()) std::cerr << "tolvex: stopped by Ctrl-C\n";
  PrintProblems(summary, style, std::cerr);
  const std::string duration = Seconds(std::chrono::steady_clock::now() - started);
  if (json) {
    std::cout << JsonObject()
                     .Text("kind", "result")
                     .Number("exit_status", status)
                     .Text("text", StatusLine(status, summary, stopped_by_guard))
                     .Text("duration", duration)
                     .str()
              << "\n"
              << SummaryJson(summary, style) << "\n";
  } else if (options.verbosity != Verbosity::kQuiet || status != kExitCompleted) {
    if (answers.outcome().no_files && options.verbosity != Verbosity::kQuiet) {
      std::cout << NothingToUpdate(summary) << "\n";
    }
    std::cout << StatusLine(status, summary, stopped_by_guard) << "\n";
    if (options.verbosity != Verbosity::kQuiet) {
      PrintSummary(summary, style, std::cout);
      std::cout << "  duration                  " << duration << "\n";
    }
  }
  if (!json && options.verbosity != Verbosity::kQuiet && job->Get("LogActive").number) {
    std::cout << "Log: " << job->drives.ToNative(job->Get("LogFile").text) << "\n";
  }
  // Only a run that did all it planned becomes the next run's LastUpdate. A
  // file whose copy failed, or that was left out, must stay newer than
  // LastUpdate: both ways, a file on one side only that is older counts as
  // deleted on the other and is erased.
  if (status == kExitCompleted) RecordRun(*job, run_start);
  RecordGenerations(*job, summary, sink.outcomes, status, run_start);
  return status;
}

int PlanJob(const std::string& job_path, const RunOptions& options) {
  const auto job = PrepareJob(job_path);
  if (!job) return kExitJobError;
  EngineLibrary engine;
  if (!LoadEngine(options, &engine)) return kExitNoEngine;
  const bool json = options.format == OutputFormat::kJson;
  const bool list_all = options.verbosity == Verbosity::kVerbose;
  HandOverJob(*job, engine, RunOptions{}, list_all ? TOLVEX_DRY_RUN_LIST_ALL : TOLVEX_DRY_RUN_PLAN);
  const ItemStyle style{&job->drives, job->Get("LastUpdate").number != 0};

  TerminalKeys keys;
  std::ostream& messages = json ? std::cerr : std::cout;
  Answers answers(AnswerMode::kNoTerminal, job->drives, job->silent_copy_errors, messages, &keys);
  ChannelSink sink;
  const int32_t result = CallEngine(engine, &answers, &sink);
  const RunSummary summary = Summarize(sink.plan, sink.outcomes, true);
  int status = ExitStatusOf(result, answers.outcome(), false, false);
  if (status != kExitCompleted) {
    messages << (status == kExitAborted ? "Plan aborted." : StatusLine(status, summary)) << "\n";
    return status;
  }
  if (!json) {
    std::cout << "Plan of " << job_path << ": what a run would do now (nothing was changed)\n";
    if (answers.outcome().no_files) std::cout << NothingToUpdate(summary) << "\n";
  }
  const auto print = [&](const ItemRecord& item) {
    std::cout << (json ? ItemJson(item, style) : ItemText(item, style)) << "\n";
  };
  for (const ItemRecord& item : sink.outcomes) {
    if (item.kind == TOLVEX_ITEM_FINDING) print(item);
  }
  for (const ItemRecord& item : sink.plan) {
    const bool counts = item.kind == TOLVEX_ITEM_UNCHANGED && item.from.empty();
    const bool figure = item.kind == TOLVEX_ITEM_SPACE || item.kind == TOLVEX_ITEM_SIDE ||
                        item.kind == TOLVEX_ITEM_END;
    if (json ? item.kind != TOLVEX_ITEM_END : !(counts || figure)) print(item);
  }
  // The plan ends with the status a run without --force would get.
  const int run_status = summary.over_erase_limit ? kExitAborted
                         : !summary.LeftOut().empty() ? kExitCopiesFailed
                                                      : kExitCompleted;
  if (json) {
    std::cout << SummaryJson(summary, style) << "\n";
    return run_status;
  }
  std::cout << "Summary:\n";
  PrintSummary(summary, style, std::cout);
  const std::vector<std::string> left_out = summary.LeftOut();
  if (!left_out.empty()) {
    std::string reasons;
    for (const std::string& reason : left_out) reasons += (reasons.empty() ? "" : ", ") + reason;
    std::cout << "Left out: " << reasons << " (the run would end with exit status 4).\n";
  }
  if (summary.over_erase_limit) {
    std::cout << "A run would stop before changing anything: "
              << EraseLimitMessage(summary, NativeSources(*job), style, MaxEraseText(*job))
              << " \"tolvex --force JOB\" runs it all the same.\n";
  }
  return run_status;
}

}  // namespace tolvex::frontend
