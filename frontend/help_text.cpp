#include "frontend/help_text.h"

#include <sstream>
#include <string>

#include "frontend/job.h"

namespace tolvex::frontend {

namespace {

const char kUsage[] = R"(tolvex - run a backup or synchronisation job with the Tolvex engine

USAGE
  tolvex [--yes | --no] [--force] [-q | -v] [--format=json] [--wait SECONDS]
         [--library PATH] JOB
      run the job, then print a summary (see SUMMARY)
  tolvex plan [-v] [--format=json] [--library PATH] JOB
      print what a run would do now, and change nothing (see PLAN)
  tolvex check [--unattended [--yes | --no]] JOB
      check the job and print every value as the engine will get it; run
      nothing. A source folder that is not there is warned about, with
      exit status 4 (3 when none of them is there), as a run would end.
      With --unattended, also whether the job would start from a timer or
      cron (no terminal, answered as --yes or --no say): one line why not,
      and exit status 7, when it asks questions nobody would answer
  tolvex list [--format=json] JOB [PATH...]
      the job's backups, newest first: each folder its VaryMode writes
      into, the time the run that last completed into it started, its files
      and bytes; with PATH, each backup's version of that file or folder
      (see RESTORING)
  tolvex restore [--from GENERATION] [--to DIR] [--dry-run]
         [--yes | --overwrite] [-q | -v] [--format=json] [--library PATH]
         JOB PATH...
      copy files or folders of the sources back from the newest backup
      that holds them, to where they were (see RESTORING)
  tolvex --help
      this text (tolvex --help=man: the same as a manual page)
  tolvex --version
      the command's version

OPTIONS
  --yes           answer the run's questions without asking (see ANSWERS)
  --no            answer No without asking (see ANSWERS)
  --force         run a plan that erases more than MaxErase allows, this
                  once (see ERASE LIMIT); --yes does not
  -q, --quiet     print only problems (on standard error) and a run that did
                  not complete; no progress on the terminal (the overview of
                  ConfirmMode 2 is shown all the same)
  -v, --verbose   print each action as it is carried out (no progress on
                  the terminal, the overview all the same); with plan, also
                  list each unchanged pair
  --format=json   one JSON object per line on standard output instead of
                  text: the actions (with -v), then a result and a summary
                  object; messages and questions go to standard error
  --wait SECONDS  when another run uses the job's destination, wait for it
                  to end, at most SECONDS (default 0: stop at once, exit
                  status 3; see TWO RUNS AT ONCE)
  --library PATH  the engine library to load; default: $TOLVEX_LIBRARY, else
                  the library beside the command, else the system's search
  --unattended    check: whether a timer or cron run would start (see
                  UNATTENDED RUNS)
  --from NAME     restore: from the backup folder NAME as list shows it
                  (Grandson, Son, A121026, Monday, Odd, Destination), or
                  from YYYY-MM-DD: the newest backup completed by that day
  --to DIR        restore: into DIR instead of where the paths were
  --dry-run       restore: print what it would do, change nothing
  --overwrite     restore: replace files in place that are newer than the
                  backup's copy too (--yes keeps them)

JOB FILE
  A plain INI file. Lines starting with ';' or '#' are comments.
    [Job]        Key = Value lines, one key per engine setting (below)
    [DInclSels]  folders to include, one per line, in order; a folder ending
                 in "/*" (Windows "\*") stands for itself and all below it
    [DExclSels]  folders to exclude, the same way
    [FInclSels]  file name patterns to include ("*.*", "*.txt")
    [FExclSels]  file name patterns to exclude
    [Drives]     Linux only: Letter = /folder, the engine's drive letters;
                 Letter = mounted /folder: the folder must be a mount point
                 with a disk mounted on it (see DISKS NOT MOUNTED)
  Paths are absolute: native ("/home/me/data/*", "C:\Data\*") or in drive
  form ("C:\Data\*" on Linux too, with a letter of [Drives]). ${JOBDIR}
  stands for the folder holding the job file, ${HOME} (and "~" at the start
  of a path) for the home folder ($HOME; on Windows %USERPROFILE% when HOME
  is not set). On Linux each file system
  that a native path lies on gets a drive letter of its own (from C: up,
  letters of [Drives] excepted), so that the engine's space check sees two
  drives when source and destination lie on two file systems; the table is
  handed to the engine in TOLVEX_DRIVES (a value in the environment is
  replaced; a job without any drive keeps the default, Z: = /). A
  Destination inside a "/*" source selection must be excluded ([DExclSels]
  with the destination folder and "/*"), or every run would back up the
  backup. A Destination the other way round is refused: one whose folders
  read as the destination's (with PathMode 1 or 2, the place of a source
  selection below it; with PathMode 0, Destination itself) would hold a
  source folder, whose files would then be taken for the destination's and
  could be erased. Every fault (unknown section or key, a value outside its
  set, a relative path, a missing Destination) is reported at once, in file
  order, as FILE:LINE: KEY: message, with exit status 2, and nothing runs.
  Keys that have no effect (the orphan mode of another TouchMode, Weekday
  without VaryMode weekday) and an empty [FInclSels] or [DInclSels] give a
  warning; the job still runs as written. "tolvex check" accepts, refuses
  and warns about exactly what a run does.

KEYS OF [Job] (default in brackets; a value's name or its number)
)";

const char kRules[] = R"(
  Dates are local "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD", or none) and go to
  the engine as packed DOS stamps (seconds rounded down to even); colours
  are "#RRGGBB"; flags are 1/0, yes/no, true/false or on/off; numbers are
  decimal or 0x hexadecimal; names are written in any letter case, and
  the bits of Warnings and Attributes are joined with "+" ("ask+beep").

LAST UPDATE AND MIDNIGHT
  After a run that completed with exit status 0 the start of the run is
  recorded in JOB.state beside the job (in UTC), and the next run hands it
  to the engine as LastUpdate. A run in which copies failed (4) is not
  recorded. Both ways with OrphanModeB = 2, the engine keeps JOB.sync beside
  it: per destination folder, the files both sides held after the last run
  that completed with nothing failed. A file on one side only that both
  sides held then, unchanged since, was deleted on the other side and is
  erased; any other is new and copied (a moved or renamed file is erased
  under its old name and copied under its new one). Without JOB.sync for
  the folder it counts as new when newer than LastUpdate minus two hours;
  older, as deleted, except both ends of a move, which are both copied and
  reported. A folder the job has not completed a run into (VaryMode 1-4)
  is new: nothing in it counts as deleted. A LastUpdate key in the job
  wins over JOB.state (which is still updated). With Midnight = auto the
  command sets Midnight when the run starts before 01:00 and LastUpdate
  falls on the day before.

ANSWERS
  On a terminal the questions take single keys:
    ConfirmMode 1, per file:  c copy  i ignore  e erase  v copy back
                              g skip the group  a yes to all  q quit
                              Enter keeps the proposed action
    a failed or interrupted   r retry  s skip  g skip the group  e erase
    copy:                     a abort   Enter skips
    midnight hint, space:     y / n (Enter: yes to the hint, no to run
                              short of space)
  The key e names what it erases, with the side and the real path: "e
  erase the SOURCE file /home/me/video3.mkv and the DESTINATION file
  /mnt/backup/video3.mkv" (an erase takes the file and its counterpart
  when there is one, so the file is then in neither folder). An erase the
  job did not plan (at a failed copy always) is asked about once more,
  [y/N]; No asks the first question again.
  Without a terminal, or with --yes or --no, the answers are fixed:
                            --yes          --no          no terminal
    midnight hint           log it         do not        log it
    drive lacks space       run anyway     stop (1)      stop (1)
    ConfirmMode 1           keep all (70)  skip all (20) not run (7)
    failed copy             skip           skip          skip
  Without a terminal a job that asks questions (ConfirmMode 1 without
  --yes or --no, ConfirmMode 2 always) does not start: one line on standard
  error says why, the exit status is 7, and nothing is scanned, renamed,
  written or logged. A default answer there would decide for nobody (keep
  all: one side of a conflict overwrites the other).

PLAN
  "tolvex plan JOB" reads and checks the job as a run does and has the
  engine make the run's plan, then prints it; nothing is copied, erased,
  renamed, created or logged, no question is asked and no overview shown.
  The lines, in the order the run carries them out:
    found       what the run leaves alone and why: missing folder, unreadable
                folder, link not followed, unusable name, case twin, name
                clash, conflict, rotation blocked
    rename      the renames of VaryMode generations, as they would go (the
                folder that would become Grandson is read in its place)
    writes into the working destination folder
    erase       a file, with its size and time: the erase pass, last first
    copy        FROM -> TO [size time | size time of the target, or absent];
                "newer wins" marks a pair changed on both sides since the
                last run, whose other edit the copy replaces
    copy back   the same into the source tree
    set mode    FROM -> TO, a pair that differs only in its permission
                bits (POSIX): the mode of FROM given to TO ("mode 600, was
                644"), nothing copied; the log writes it as a copy
    skip        a file left alone: ignored orphan, ignored by the user,
                conflict, name clash
    unchanged   (-v) a pair that needs nothing: equal, or older one way
  then a summary: files and bytes per action and side, skips by reason,
  unchanged pairs, the space each drive needs and has, what would be left
  out (exit status 4 for a run), and whether the erase limit would stop
  the run. --format=json prints each line as an object ({"kind":"copy",
  "from":..., "to":..., "size":..., "stamp":..., ...}; kinds found, rename,
  generation, erase, copy, copy_back, set_mode, skip, unchanged, space,
  side) and the
  summary as {"kind":"summary",...}. When the plan holds nothing to do it
  says what was compared ("Nothing to update: all 1590 files found are
  equal on both sides."). Exit status: the one a run (without --force)
  would get now: 0 when it would complete, 1 when the erase limit would
  stop it, 4 when something selected would be left out; 2, 3, 5 and 6 as
  for a run; 1 after Ctrl-C. (Whether a terminal is there for the
  questions is not judged: see ANSWERS.)

ERASE LIMIT (MaxErase)
  An unmounted disk is an empty folder: one way with OrphanModeD2 = erase a
  run would erase the whole backup, and both ways with OrphanModeB = erase
  every file on this side older than the last run. So a run stops before it
  erases or copies anything when its plan erases more files on one side
  (the source tree or the destination tree) than MaxErase allows, counted
  against every file found on that side. MaxErase is a count ("100": more
  than 100 files), a share ("20%": more than a fifth of the side's files),
  both ("10 and 50%", the default: more than 10 and more than half), or
  none. The message names the counts and the folders; the exit status is 1
  and nothing is changed (with VaryMode generations the rotation comes
  first, as in every run, and the message says so). --force runs such a
  plan once; --yes does not. With ConfirmMode 1 the limit applies before the
  first question. With ConfirmMode 2 the terminal overview shows the
  warning above its keys, and OK there runs the plan as --force would (the
  Windows dialog asks about it first: Yes there, then OK, does the same).

SUMMARY
  After a run: files and bytes copied each way and erased, files skipped by
  reason, unchanged pairs, empty folders removed, the generation folder
  written, the space of each drive, pairs changed on both sides whose newer
  file won (named: the other edit is gone from that side), one line per
  kind of symbolic link copied as a link (to files, to folders, dangling;
  -v names each with its copy), links to folders not followed (Windows),
  pipes, sockets and devices left alone, and the duration. Problems go to
  standard error, one line each: failed copies and erasures with the reason
  (naming the side that refused), and everything selected that was not
  backed up or left in conflict. -q prints only those; -v also prints each
  action as it happens.

INTERRUPTING A RUN
  The first Ctrl-C stops the run at its next check, as the progress view's
  Cancel does: a copy under way completes (never half), nothing more is
  asked, the log gets its footer, the exit status is 1 and nothing is
  recorded. A second Ctrl-C also stops the copy under way at once; its
  target keeps what it held and its temporary file is removed. At a
  question Ctrl-C quits; in the terminal overview it cancels.

OVERVIEW (ConfirmMode 2)
  Before anything is erased or copied the engine shows the whole plan; the
  run then does exactly what the plan says after OK, and nothing after
  Cancel (exit status 1). --yes and --no do not answer it, and -q and -v do
  not hide it. On Windows it is the dialog "Overview". On Linux it fills
  the terminal when standard input and output are both the terminal;
  without one (cron, pipes, redirected input) the job does not start (exit
  status 7, see ANSWERS), never run unseen. When e or Enter gives Erase to
  files the plan did not erase, the overview lists each file the erase
  takes (both sides of a pair, with their real paths) and asks once more:
  y erases them, any other key leaves them as they were. Its keys:
    Up Down PgUp PgDn Home End  select one entry (with Shift: extend)
    Space                       add or remove the entry under the cursor
    n o e t                     Normal, Ignore, Erase, Invert (copy the other
                                way) for every selected entry
    Enter                       next action of the first selected entry
    v                           open the selected files (xdg-open)
    1 2 3   Tab                 groups, compact, detailed view; Tab: the next
                                view at the cursor
    4 5 6 7 8   r               order by folder, name, type, size, date;
                                reverse
    w b                         only size warnings / only files whose other
                                copy changed since the last update
    [ ]                         previous / next block
    k                           OK: run the plan
    c q Esc                     Cancel: run nothing
    h ?                         all keys and what the row marks mean
  Ctrl-C cancels, as c does; nothing of the plan has run then.

TWO RUNS AT ONCE
  A run holds a lock on its Destination folder (the file "~tolvex-run.lock"
  there, which no run copies or erases) from before it opens its log to its
  end; the system releases it when a run is killed. A second run of the job,
  or of another job with the same Destination, does not start beside it: it
  stops at once (exit status 3), or with --wait waits for the first to end,
  and writes nothing to the log meanwhile.

DISKS NOT MOUNTED
  On Linux a disk that is not mounted leaves an empty folder of the internal
  disk at its mount point. A drive (of [Drives], or of a native path) whose
  folder is such a mount point, or lies in one, is not ready, as a Windows
  drive without its disk: the folder is listed in /etc/fstab, or lies below
  /media, /run/media or /mnt, and no file system is mounted there now.
  "E = mounted /folder" in [Drives] demands a mount point of any folder.
  The run and the plan then stop before anything is made or renamed, with
  exit status 3. With CreateDestDirs = no and no destination folder, the
  run and the plan stop the same way, at once.

EMPTY FOLDERS
  With EmptyFolders = yes (the default) the backup holds every folder of the
  selection, empty ones too, as rsync -a does: a folder missing on the other
  side is made there when the orphan mode of its side copies (and
  CreateDestDirs, or CreateSrcDirs both ways, is set), after the files are
  copied. A folder gone from the other side is removed, once empty, where
  the orphan mode erases (OrphanModeD2 = erase: as rsync --delete), and
  only there; one holding an excluded file stays, and an empty source
  folder's backup is kept even with DeleteDestDirs. Excluded folders,
  hidden or system folders the Attributes mask leaves out, and folders
  reached through a link are not made. The plan lists each folder as "make
  folder"; the log has no line for a folder made. With EmptyFolders = no a
  folder is made only for a file copied into it.

GENERATIONS
  With VaryMode generations the folders are renamed only once the run goes
  on to change files: a run stopped before (a check, the erase limit, No to
  the space question, Cancel in the search or the overview, an error)
  leaves Grandson, Son and Father as they were; a run stopped in its passes
  before its first change renames them back. The plan reads the folder that
  will become Grandson.
  With ShareUnchanged = yes (the default) the generations share the files
  that did not change: a file the run copies into Grandson whose size,
  stamp and attributes are those of its version in Son (the newest backup
  before the rotation) becomes another name of that file (a hard link)
  instead of a second copy, so three generations of a tree that changes
  little take little more room than one. The log and the plan still call
  it a copy. A changed file is copied anew and replaces its name in
  Grandson only (no copy ever writes into an existing file), so Son and
  Father keep their versions; erasing a file in Grandson takes only that
  name. Where the destination cannot hold links (another file system, FAT,
  a read-only file) the file is copied as with ShareUnchanged = no. Use
  "du" on the destination to see the room taken: tools that count each
  folder on its own count a shared file in each generation.

RESTORING
  "tolvex list JOB" shows the backups; "tolvex list JOB PATH" every
  version of PATH in them. PATH is a source path: absolute, relative to
  the current folder, or relative to the job's first folder selection.
  The command records when a run last completed into each backup folder
  in JOB.state ([Generations]) and carries the times along the rotation.
  "tolvex restore JOB PATH..." copies each PATH back from the newest
  backup that holds it (--from: the one named, or the newest by a date)
  to where it was, or into --to DIR. It is a one-way run of the engine
  from the backup into the PATH's place: missing folders are made, files
  only in place are left alone, nothing is erased, the job's log gets the
  run appended, and --dry-run prints the plan. A file in place that is
  newer than the backup's copy is asked about (y replaces it); --yes keeps
  every such file, --overwrite replaces it; without a terminal and
  without either the restore does not start (exit status 7). Each file in
  place that a restore replaces is first renamed beside it to
  NAME.tolvex-replaced (.2, .3, ... when taken), and renamed back when its
  copy did not happen. Summary and exit status are those of a run.

UNATTENDED RUNS
  Started by a timer or cron the command has no terminal: it asks
  nothing, keeps the proposed actions, stops when a drive lacks space and
  skips failed copies. A job that asks questions (ConfirmMode each-file
  without --yes or --no, or ConfirmMode overview) does not start: one line
  on standard error says why, exit status 7, so a timer's journal shows
  it. "tolvex check --unattended JOB" tells beforehand.

FAILED COPIES
  The command always hands the engine Warnings bit 0x40, so that it hears
  of every failed copy whatever the log does. With 0x40 in the job it asks
  about each failed copy; without, it skips each one without a question,
  and the log shows a "File skipped" line after the "Error at copying" line.

EXIT STATUS
  0  the run completed (also when there was nothing to update)
  1  the run was aborted by the user or by Ctrl-C, stopped for lack of
     space, or stopped by the erase limit
  2  the job file or the command line is wrong; nothing ran
  3  a check of the engine ended the run: no selections (or none of the
     source folders exists; the log names each missing one), source and
     destination identical, a drive not found, source folders of two
     drives that would share destination folders, or another run using
     the destination
  4  the run completed, but something selected was not backed up or was
     left in conflict: failed copies or erasures, a missing source folder
     (others existing), a folder that could not be read, unusable names
     (names the destination cannot hold), case twins, name clashes, links
     not followed (a link facing a folder of its name), conflicts (one
     time, other sizes); standard error names each, and the run is not
     recorded. Pipes, sockets and devices (they hold no data to back up)
     are named in the summary and are no reason for 4: a run with only
     those ends with 0 and is recorded. In the destination they count, as
     they may hold the name of a source file, which is then not backed up
  5  the engine library cannot be loaded; nothing ran
  6  the run failed inside the engine (an internal error such as lack of
     memory); the log shows what was done before, and nothing is recorded
  7  the job asks questions (ConfirmMode 1 without --yes or --no, or
     ConfirmMode 2) and there is no terminal to ask them on, as under a
     timer or cron; nothing ran, and standard error says why in one line.
     A restore: files in place are newer than the backup's copies, and
     neither a terminal, --yes nor --overwrite answers for them

EXAMPLES
  The installed examples are in share/doc/tolvex/examples below the
  installation prefix (/usr/share/doc/tolvex/examples from the package):
  example jobs, the script that makes their data, and a daily run.

  A backup to a USB disk, three generations (usb.job):
    [Job]
    Destination = /media/me/usb/backup
    VaryMode = generations
    OrphanModeD2 = erase
    LogFile = ~/backup/usb.log
    [Drives]
    E = mounted /media/me/usb
    [DInclSels]
    ~/*
    [DExclSels]
    ~/.cache/*
    [FInclSels]
    *.*
  Run it with "tolvex ~/backup/usb.job"; each run renames Father to
  Grandson and brings it up to date, so Son and Father keep the two runs
  before. With the disk not mounted the run stops (exit status 3).

  A two-way sync of a laptop folder and a server share (sync.job):
    [Job]
    Destination = /mnt/share/papers
    PathMode = flat
    TouchMode = both
    OrphanModeB = erase
    [DInclSels]
    ~/papers/
    [FInclSels]
    *.*
  Files deleted on one side since the last run are erased on the other;
  "tolvex plan sync.job" shows what a run would do first.

  A folder deleted last week, restored:
    tolvex list ~/backup/usb.job ~/thesis
    tolvex restore --dry-run ~/backup/usb.job ~/thesis
    tolvex restore ~/backup/usb.job ~/thesis
    tolvex restore --from Father --to /tmp/old ~/backup/usb.job ~/thesis

  Every day at 02:30, with a systemd user timer: copy tolvex-daily.service
  and tolvex-daily.timer from the examples folder to ~/.config/systemd/user/,
  set the job's path in the service, then
    tolvex check --unattended ~/backup/usb.job
    systemctl --user daemon-reload
    systemctl --user enable --now tolvex-daily.timer
  or add the examples' crontab line with "crontab -e".
)";

constexpr size_t kKeyColumn = 24;   // where the descriptions start
constexpr size_t kLineWidth = 79;

// "  Key [default]       description", the description wrapped at word
// bounds into its column; a name too wide for its column gets a line of
// its own.
void PrintKeyLine(std::ostream& out, const std::string& name, const std::string& help) {
  std::string line = "  " + name;
  if (line.size() + 1 > kKeyColumn) {
    out << line << "\n";
    line.clear();
  }
  line.resize(kKeyColumn, ' ');
  std::istringstream words(help);
  bool first = true;
  for (std::string word; words >> word;) {
    if (!first && line.size() + 1 + word.size() > kLineWidth) {
      out << line << "\n";
      line = std::string(kKeyColumn, ' ');
      first = true;
    }
    line += (first ? "" : " ") + word;
    first = false;
  }
  out << line << "\n";
}

// A line of the help as roff text: backslashes and minus signs escaped, and
// a line that would start with a control character made plain.
std::string RoffLine(const std::string& line) {
  std::string text;
  for (char c : line) {
    if (c == '\\') {
      text += "\\e";
    } else if (c == '-') {
      text += "\\-";
    } else {
      text += c;
    }
  }
  if (!text.empty() && (text[0] == '.' || text[0] == '\'')) text = "\\&" + text;
  return text;
}

}  // namespace

std::string Version() { return TOLVEX_VERSION; }

void PrintHelp(std::ostream& out) {
  out << kUsage;
  for (const KeyRule& rule : JobKeys()) {
    std::string name = rule.key;
    if (*rule.default_text) name += std::string(" [") + rule.default_text + "]";
    PrintKeyLine(out, name, rule.help);
  }
  out << kRules;
}

void PrintManPage(std::ostream& out) {
  std::ostringstream plain;
  PrintHelp(plain);
  std::istringstream lines(plain.str());
  std::string line;
  std::getline(lines, line);  // "tolvex - run a backup ...": the NAME line
  out << ".TH TOLVEX 1 \"\" \"tolvex " << Version() << "\" \"User Commands\"\n"
      << ".SH NAME\n" << RoffLine(line) << "\n";
  bool in_block = false;
  while (std::getline(lines, line)) {
    const bool heading = !line.empty() && line[0] != ' ';
    if (heading) {
      if (in_block) out << ".fi\n";
      out << ".SH \"" << RoffLine(line) << "\"\n.nf\n";
      in_block = true;
      continue;
    }
    if (in_block) out << RoffLine(line) << "\n";
  }
  if (in_block) out << ".fi\n";
}


}  // namespace tolvex::frontend
