#include "frontend/help_text.h"

#include <iomanip>

#include "frontend/job.h"

namespace tolvex::frontend {

namespace {

const char kUsage[] = R"(tolvex - run a backup or synchronisation job with the Tolvex engine

USAGE
  tolvex [--yes | --no] [--library PATH] JOB   run the job
  tolvex check JOB                             check the job and print every value
                                               as the engine will get it; run nothing
  tolvex --help

OPTIONS
  --yes           answer the run's questions without asking (see ANSWERS)
  --no            answer No without asking (see ANSWERS)
  --library PATH  the engine library to load; default: $TOLVEX_LIBRARY, else
                  the library beside the command, else the system's search

JOB FILE
  A plain INI file. Lines starting with ';' or '#' are comments.
    [Job]        Key = Value lines, one key per engine setting (below)
    [DInclSels]  folders to include, one per line, in order; a folder ending
                 in "/*" (Windows "\*") stands for itself and all below it
    [DExclSels]  folders to exclude, the same way
    [FInclSels]  file name patterns to include ("*.*", "*.txt")
    [FExclSels]  file name patterns to exclude
    [Drives]     Linux only: Letter = /folder, the engine's drive letters
  Paths are absolute: native ("/home/me/data/*", "C:\Data\*") or in drive
  form ("C:\Data\*" on Linux too, with a letter of [Drives]). ${JOBDIR}
  stands for the folder holding the job file. On Linux each file system
  that a native path lies on gets a drive letter of its own (from C: up,
  letters of [Drives] excepted), so that the engine's space check sees two
  drives when source and destination lie on two file systems; the table is
  handed to the engine in TOLVEX_DRIVES (a value in the environment is
  replaced; a job without any drive keeps the default, Z: = /). A
  Destination inside a "/*" source selection must be excluded ([DExclSels]
  with the destination folder and "/*"), or every run would back up the
  backup. Any fault (unknown section or key, a value outside its set, a
  relative path, a missing Destination) is reported with file, line and
  key, with exit status 2, and nothing runs.

KEYS OF [Job] (default in brackets)
)";

const char kRules[] = R"(
  Dates are local "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD", or none) and go to
  the engine as packed DOS stamps (seconds rounded down to even); colours
  are "#RRGGBB"; flags are 1/0, yes/no, true/false or on/off; numbers are
  decimal or 0x hexadecimal.

LAST UPDATE AND MIDNIGHT
  After a run that completed (exit status 0 or 4) the start of the run is
  recorded in JOB.state beside the job, and the next run hands it to the
  engine as LastUpdate. A LastUpdate key in the job wins over JOB.state
  (which is still updated). With Midnight = auto the command sets Midnight
  when the run starts before 01:00 and LastUpdate falls on the day before.

ANSWERS
  On a terminal the questions take single keys:
    ConfirmMode 1, per file:  c copy  i ignore  e erase  v copy back
                              g skip the group  a yes to all  q quit
                              Enter keeps the proposed action
    a failed copy:            r retry  s skip  g skip the group  e erase
                              a abort   Enter skips
    midnight hint, space:     y / n (Enter: yes to the hint, no to run
                              short of space)
  Without a terminal, or with --yes or --no, the answers are fixed:
                            --yes          --no          no terminal
    midnight hint           log it         do not        log it
    drive lacks space       run anyway     stop (1)      stop (1)
    ConfirmMode 1           keep all (70)  skip all (20) keep all (70)
    failed copy             skip           skip          skip
  On Linux, ConfirmMode 2 shows its overview on the terminal; without one
  the run is cancelled (exit status 1). On Windows the overview is a dialog.

FAILED COPIES
  The command always hands the engine Warnings bit 0x40, so that it hears
  of every failed copy whatever the log does. With 0x40 in the job it asks
  about each failed copy; without, it skips each one without a question,
  and the log shows a "File skipped" line after the "Error at copying" line.

EXIT STATUS
  0  the run completed (also when there was nothing to update)
  1  the run was aborted by the user, or stopped for lack of space
  2  the job file or the command line is wrong; nothing ran
  3  a check of the engine ended the run: no selections, source and
     destination identical, or a drive not found
  4  the run completed, but some copies failed
  5  the engine library cannot be loaded; nothing ran
)";

}  // namespace

void PrintHelp(std::ostream& out) {
  out << kUsage;
  for (const KeyRule& rule : JobKeys()) {
    std::string name = rule.key;
    if (*rule.default_text) name += std::string(" [") + rule.default_text + "]";
    out << "  " << std::left << std::setw(22) << name << rule.help << "\n";
  }
  out << kRules;
}

}  // namespace tolvex::frontend
