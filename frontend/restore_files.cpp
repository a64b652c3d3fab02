#include "frontend/restore_files.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "frontend/answers.h"
#include "frontend/backup_generations.h"
#include "frontend/exit_status.h"
#include "frontend/json_text.h"
#include "frontend/list_backups.h"
#include "frontend/terminal.h"
#include "frontend/value_forms.h"
#include "include/tolvex32.h"
#include "platform/platform.h"

namespace tolvex::frontend {

namespace {

// One PATH of the command line: where it lies in the backup and where it
// goes.
struct Piece {
  std::string given;           // as the user wrote it
  Generation generation;
  std::string backup;          // drive form, in the generation folder
  bool is_folder = false;
  std::string target;          // drive form: where it goes
};

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

void SetNumber(Job* job, const char* key, uint32_t value) {
  Setting& setting = job->Get(key);
  setting.number = value;
  setting.percent = 0;
}

// The one-way job that copies the piece back: the job's own values (its
// log, attributes, warnings, drives) with the layout of a restore.
Job RestoreJobOf(const Job& job, const Piece& piece) {
  Job restore = job;
  restore.Get("Destination").text = piece.is_folder ? piece.target : ParentOf(piece.target);
  SetNumber(&restore, "VaryMode", TOLVEX_VARY_NONE);
  SetNumber(&restore, "TouchMode", TOLVEX_TOUCH_TO_DESTINATION);
  SetNumber(&restore, "PathMode", TOLVEX_PATH_RELATIVE);
  SetNumber(&restore, "ConfirmMode", TOLVEX_CONFIRM_MODE_NONE);
  SetNumber(&restore, "OrphanModeD1", 0);  // copy what is missing in place
  SetNumber(&restore, "OrphanModeD2", 1);  // ignore what is only in place: never erase
  SetNumber(&restore, "CreateDestDirs", 1);
  SetNumber(&restore, "DeleteDestDirs", 0);
  SetNumber(&restore, "DeleteSrcDirs", 0);
  SetNumber(&restore, "CreateSrcDirs", 0);
  SetNumber(&restore, "LeastDate", 0);
  SetNumber(&restore, "LastUpdate", 0);
  SetNumber(&restore, "Midnight", 0);
  SetNumber(&restore, "CheckSizes", 0);
  // The job's log keeps what its runs wrote; the restore is added to it.
  SetNumber(&restore, "LogAppend", 1);
  SetNumber(&restore, "MaxErase", 0);  // nothing is erased: no limit to keep
  restore.lists[kDIncl] = {piece.is_folder ? piece.backup + "\\*" : ParentOf(piece.backup) + "\\"};
  restore.lists[kDExcl].clear();
  restore.lists[kFIncl] = {piece.is_folder ? "*.*" : NameOf(piece.backup)};
  restore.lists[kFExcl].clear();
  restore.sync_state.clear();
  return restore;
}

// A free name beside `path` for the file a restore replaces.
std::string ReplacedName(const std::string& path) {
  std::string name = path + kReplacedSuffix;
  for (int number = 2; EntryAt(name).exists; ++number) {
    name = path + kReplacedSuffix + "." + std::to_string(number);
  }
  return name;
}

// A file in place that the backup does not hold: the restore leaves it
// alone and does not name it.
bool IsFileOnlyInPlace(const ItemRecord& item) {
  return item.kind == TOLVEX_ITEM_SKIP && item.reason == TOLVEX_REASON_IGNORED_ORPHAN;
}

std::vector<ItemRecord> WithoutFilesOnlyInPlace(const std::vector<ItemRecord>& items) {
  std::vector<ItemRecord> kept;
  for (const ItemRecord& item : items) {
    if (!IsFileOnlyInPlace(item)) kept.push_back(item);
  }
  return kept;
}

std::string FileLine(const std::string& native, uint64_t size, uint32_t stamp) {
  return native + " (" + ByteText(size) + ", " + FormatStamp(stamp) + ")";
}

// Asks whether a file in place that is newer than the backup's copy is to
// be replaced; true for yes. Enter and the end of the input keep it.
bool AskReplace(const ItemRecord& pair, const DriveMap& drives, KeyInput* keys, std::ostream& out) {
  out << "In place and newer than the backup's copy:\n  now:    "
      << FileLine(drives.ToNative(pair.to), pair.counter_size, pair.counter_stamp)
      << "\n  backup: " << FileLine(drives.ToNative(pair.from), pair.size, pair.stamp)
      << "\nReplace it (it is kept as NAME" << kReplacedSuffix << ")? [y/N] " << std::flush;
  for (;;) {
    const char key = keys->ReadKey();
    if (key == 'y' || key == 'Y') {
      out << "y\n";
      return true;
    }
    if (key == 'n' || key == 'N' || key == '\n' || key == '\r' || key == 0) {
      out << "n\n";
      return false;
    }
  }
}

}  // namespace

int RestoreFiles(const std::string& job_path, const std::vector<std::string>& paths,
                 const RestoreOptions& options) {
  auto prepared = PrepareJob(job_path);
  if (!prepared) return kExitJobError;
  Job& job = *prepared;
  const bool json = options.run.format == OutputFormat::kJson;
  std::ostream& messages = json ? std::cerr : std::cout;
  const std::vector<Generation> generations = GenerationsOf(job);
  if (generations.empty()) {
    std::cerr << "tolvex: the job has no backup to restore from yet (see \"tolvex list JOB\")\n";
    return kExitJobError;
  }
  std::optional<Generation> chosen;
  if (!options.from.empty()) {
    chosen = ChooseGeneration(generations, options.from);
    if (!chosen) {
      std::cerr << "tolvex: --from " << options.from
                << ": no backup folder of the job has that name, and none was completed into by "
                   "that date (see \"tolvex list JOB\")\n";
      return kExitJobError;
    }
  }
  std::optional<std::string> into;
  if (!options.to.empty()) {
    std::string error;
    into = job.drives.ToDriveForm(AbsoluteFolderOf(options.to + "/x"), PathKind::kFile, &error);
    if (!into) {
      std::cerr << "tolvex: --to " << options.to << ": " << error << "\n";
      return kExitJobError;
    }
  }

  std::vector<Piece> pieces;
  for (const std::string& given : paths) {
    std::string error;
    const auto source = SourcePathOf(&job, given, &error);
    if (!source) {
      std::cerr << "tolvex: " << given << ": " << error << "\n";
      return kExitJobError;
    }
    std::optional<Piece> found;
    std::string unmapped;  // why the path has no place in a backup folder
    bool mapped = false;
    for (const Generation& generation : generations) {
      if (chosen && generation.folder != chosen->folder) continue;
      for (bool folder : {false, true}) {
        const auto backup = PathInGeneration(job, *source, folder, generation.folder, &error);
        if (!backup) {
          unmapped = error;
          continue;
        }
        mapped = true;
        const Entry entry = EntryAt(*backup);
        if (!entry.exists || entry.is_folder != folder) continue;
        found = Piece{given, generation, *backup, folder,
                      into ? *into + "\\" + NameOf(*source) : *source};
        break;
      }
      if (found) break;
    }
    if (!found) {
      std::cerr << "tolvex: " << given << ": "
                << (!mapped && !unmapped.empty() ? unmapped
                    : chosen          ? "the backup folder " + ShownName(*chosen) + " does not hold it"
                                      : "no backup folder of the job holds it")
                << " (see \"tolvex list JOB PATH\")\n";
      return kExitJobError;
    }
    pieces.push_back(*found);
  }
  InstallDriveTable(job);  // with the drives the paths added
  EngineLibrary engine;
  if (!LoadEngine(options.run, &engine)) return kExitNoEngine;

  // The plan of each piece, with every pair: what would be copied, and which
  // files in place are newer than the backup's copies.
  TerminalKeys keys;
  std::vector<Job> restore_jobs;
  std::vector<ChannelSink> plans(pieces.size());
  std::vector<std::vector<ItemRecord>> newer(pieces.size());
  std::vector<std::vector<std::string>> replaced(pieces.size());  // targets set aside
  size_t newer_count = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    restore_jobs.push_back(RestoreJobOf(job, pieces[i]));
    HandOverJob(restore_jobs[i], engine, RunOptions{}, TOLVEX_DRY_RUN_LIST_ALL);
    Answers answers(AnswerMode::kNoTerminal, job.drives, true, messages, &keys);
    const int32_t result = CallEngine(engine, &answers, &plans[i]);
    const int status = ExitStatusOf(result, answers.outcome(), false, false);
    if (status != kExitCompleted) {
      messages << "Restore of " << pieces[i].given << ": "
               << (status == kExitAborted ? "plan aborted." : StatusLine(status, RunSummary{})) << "\n";
      return status;
    }
    for (const ItemRecord& item : plans[i].plan) {
      if (item.kind == TOLVEX_ITEM_UNCHANGED && !item.from.empty() &&
          item.reason == TOLVEX_REASON_OLDER) {
        newer[i].push_back(item);
      } else if (item.kind == TOLVEX_ITEM_COPY && item.counter_stamp != 0) {
        replaced[i].push_back(item.to);
      }
    }
    newer_count += newer[i].size();
  }

  // Newer files in place: asked, kept (--yes, --no) or replaced (--overwrite).
  const AnswerMode mode = options.run.mode;
  if (newer_count > 0 && !options.overwrite && !options.dry_run && mode == AnswerMode::kNoTerminal) {
    std::string first;
    for (const auto& files : newer) {
      if (!files.empty() && first.empty()) first = job.drives.ToNative(files.front().to);
    }
    std::cerr << "tolvex: stopped before anything was done: " << newer_count
              << (newer_count == 1 ? " file in place is" : " files in place are")
              << " newer than the backup's copy (" << first << (newer_count > 1 ? ", ..." : "")
              << "), and standard input is no terminal to ask on; keep them with --yes, or "
                 "replace them with --overwrite (each kept as NAME" << kReplacedSuffix << ")\n";
    return kExitNeedsTerminal;
  }
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (const ItemRecord& pair : newer[i]) {
      bool replace = options.overwrite;
      if (!replace && !options.dry_run && mode == AnswerMode::kAsk) {
        replace = AskReplace(pair, job.drives, &keys, messages);
      }
      if (replace) replaced[i].push_back(pair.to);
    }
  }

  const ItemStyle style{&job.drives, false};
  if (options.dry_run) {
    RunSummary total;
    std::vector<ItemRecord> all;
    for (size_t i = 0; i < pieces.size(); ++i) {
      const Piece& piece = pieces[i];
      if (!json) {
        std::cout << "Restore of " << job.drives.ToNative(piece.target) << " from "
                  << ShownName(piece.generation) << " (" << job.drives.ToNative(piece.backup)
                  << "): what it would do (nothing was changed)\n";
      }
      for (const ItemRecord& item : plans[i].plan) {
        if (IsFileOnlyInPlace(item)) continue;
        if (item.kind == TOLVEX_ITEM_COPY || item.kind == TOLVEX_ITEM_SET_MODE ||
            item.kind == TOLVEX_ITEM_SKIP || item.kind == TOLVEX_ITEM_FINDING) {
          std::cout << (json ? ItemJson(item, style) : ItemText(item, style)) << "\n";
        }
        if (item.kind != TOLVEX_ITEM_UNCHANGED || item.from.empty()) all.push_back(item);
      }
      for (const ItemRecord& pair : newer[i]) {
        const bool replace = options.overwrite;
        const std::string native = job.drives.ToNative(pair.to);
        if (json) {
          std::cout << JsonObject().Text("kind", "newer_in_place").Text("path", native)
                           .Text("answer", replace ? "replace" : mode == AnswerMode::kAsk ? "ask" : "keep")
                           .str()
                    << "\n";
        } else {
          std::cout << "newer in place       " << native << ": "
                    << (replace ? "replaced (--overwrite)"
                        : mode == AnswerMode::kAsk ? "asked before it is replaced"
                                                   : "kept")
                    << "\n";
        }
      }
      for (const std::string& target : replaced[i]) {
        const std::string native = job.drives.ToNative(target);
        if (json) {
          std::cout << JsonObject().Text("kind", "keep_replaced").Text("path", native)
                           .Text("as", native + kReplacedSuffix).str()
                    << "\n";
        } else {
          std::cout << "keep replaced file   " << native << " as " << native << kReplacedSuffix << "\n";
        }
      }
    }
    total = Summarize(all, {}, true);
    total.generation_folder.clear();
    const FileCount to_restore = total.copied[1];
    total.copied[1] = FileCount{};
    if (json) {
      std::cout << JsonObject().Text("kind", "restore_plan").Unsigned("restore", to_restore.files)
                       .Unsigned("restore_bytes", to_restore.bytes).str()
                << "\n"
                << SummaryJson(total, style) << "\n";
    } else {
      std::cout << "Summary:\n";
      if (to_restore.files > 0) {
        std::cout << "  restore                   " << Files(to_restore.files) << ", "
                  << ByteText(to_restore.bytes) << "\n";
      }
      PrintSummary(total, style, std::cout);
    }
    return total.LeftOut().empty() ? kExitCompleted : kExitCopiesFailed;
  }

  // The runs. Each file in place that is to be replaced is set aside first.
  const auto started = std::chrono::steady_clock::now();
  ChannelSink sink;
  InterruptedCopies interrupted;
  if (options.run.verbosity == Verbosity::kVerbose) {
    sink.show_outcome = [&](const ItemRecord& outcome) {
      if (IsFileOnlyInPlace(outcome)) return;
      ItemRecord item = outcome;
      interrupted.Mark(&item);
      std::cout << (json ? ItemJson(item, style) : ItemText(item, style)) << std::endl;
    };
  }
  int status = kExitCompleted;
  std::vector<std::pair<std::string, std::string>> kept;  // target, its replaced copy
  bool any_left_out = false;
  for (size_t i = 0; i < pieces.size() && (status == kExitCompleted || status == kExitCopiesFailed); ++i) {
    std::vector<std::pair<std::string, std::string>> aside;
    for (const std::string& target : replaced[i]) {
      const std::string name = ReplacedName(target);
      const uint32_t error = Sys().MoveEntry(target, name);
      if (error != kErrOk) {
        std::cerr << "tolvex: " << job.drives.ToNative(target) << " cannot be set aside as "
                  << job.drives.ToNative(name) << " (error " << error
                  << "); the restore stops before it replaces anything\n";
        for (const auto& [back, moved] : aside) Sys().MoveEntry(moved, back);
        return kExitRunFailed;
      }
      aside.emplace_back(target, name);
    }
    HandOverJob(restore_jobs[i], engine, options.run, TOLVEX_DRY_RUN_OFF);
    Answers answers(mode == AnswerMode::kAsk ? AnswerMode::kAsk : AnswerMode::kNoTerminal, job.drives,
                    restore_jobs[i].silent_copy_errors, messages, &keys);
    answers.set_outcomes(&sink.outcomes);
    const size_t outcomes_before = sink.outcomes.size();
    const size_t plan_before = sink.plan.size();
    const int32_t result = CallEngine(engine, &answers, &sink);
    const RunSummary piece_summary =
        Summarize(std::vector<ItemRecord>(sink.plan.begin() + plan_before, sink.plan.end()),
                  std::vector<ItemRecord>(sink.outcomes.begin() + outcomes_before, sink.outcomes.end()),
                  false);
    const bool left_out = !piece_summary.LeftOut().empty();
    any_left_out = any_left_out || left_out;
    status = ExitStatusOf(result, answers.outcome(), false, left_out);
    // A file whose restore did not happen goes back to its place.
    for (const auto& [target, name] : aside) {
      if (EntryAt(target).exists) {
        kept.emplace_back(target, name);
      } else {
        Sys().MoveEntry(name, target);
      }
    }
  }
  if (status == kExitCompleted && any_left_out) status = kExitCopiesFailed;

  RunSummary summary =
      Summarize(WithoutFilesOnlyInPlace(sink.plan), WithoutFilesOnlyInPlace(sink.outcomes), false);
  summary.generation_folder.clear();  // nothing was written into a backup
  const FileCount restored = summary.copied[1];
  summary.copied[1] = FileCount{};
  PrintProblems(summary, style, std::cerr);
  std::string line = StatusLine(status, summary);
  if (line.rfind("Run ", 0) == 0) line = "Restore " + line.substr(4);
  const std::string duration = Seconds(std::chrono::steady_clock::now() - started);
  if (json) {
    std::cout << JsonObject()
                     .Text("kind", "result")
                     .Number("exit_status", status)
                     .Text("text", line)
                     .Text("duration", duration)
                     .Unsigned("restored", restored.files)
                     .Unsigned("restored_bytes", restored.bytes)
                     .str()
              << "\n";
    for (const auto& [target, name] : kept) {
      std::cout << JsonObject().Text("kind", "kept_replaced").Text("path", job.drives.ToNative(target))
                       .Text("as", job.drives.ToNative(name)).str()
                << "\n";
    }
    std::cout << SummaryJson(summary, style) << "\n";
    return status;
  }
  if (options.run.verbosity == Verbosity::kQuiet && status == kExitCompleted) return status;
  std::cout << line << "\n";
  if (options.run.verbosity == Verbosity::kQuiet) return status;
  for (const Piece& piece : pieces) {
    std::cout << "  restored from             " << ShownName(piece.generation) << " ("
              << job.drives.ToNative(piece.backup) << ")\n"
              << "  restored into             " << job.drives.ToNative(piece.target) << "\n";
  }
  if (restored.files > 0) {
    std::cout << "  restored                  " << Files(restored.files) << ", "
              << ByteText(restored.bytes) << "\n";
  }
  for (const auto& [target, name] : kept) {
    std::cout << "  replaced, kept as         " << job.drives.ToNative(name) << "\n";
  }
  PrintSummary(summary, style, std::cout);
  std::cout << "  duration                  " << duration << "\n";
  return status;
}

}  // namespace tolvex::frontend
