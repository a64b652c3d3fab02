#!/usr/bin/env python3
"""The engine against its peers, case by case, in one run.

Makes its own data below a temporary folder, runs each case several times
with the engine (the `tolvex` command, through the library's exports, log
off) and the peer taken in turns, and prints the median of each and their
ratio. Copies are timed until their data is on disk: every command that
writes is followed by `sync`, because the engine makes its copies durable
and `cp -a` leaves them in the page cache.

Cases (sizes are options; --quick takes smaller ones):
  first-small   first backup of many small files into an empty folder;
                peer `cp -a; sync`
  first-large   first backup of a few large files; peer `cp -a; sync`
  no-change     a run over two equal trees; peer `rsync -a`
  no-change-cold
                the same with nothing in the page cache: the caches are
                dropped before every run (`echo 3 > /proc/sys/vm/drop_caches`,
                as root only; otherwise the case says "not measured")
  incremental   both ways, a share of the files changed on each side and
                orphans on each side; peers `rsync -a --update` both ways
                (A to B, then B to A, then `sync`: the same work) and, for
                reference, one way (then `sync`)
  generations   three rotating generations (VaryMode = generations) of an
                unchanged tree with ShareUnchanged on: `du` over the
                destination after three runs against `du` after the first
                (one copy); the time of a rotation run of the three
                generations (the old Father, up to date, becomes Grandson)
                against a no-change run over the same tree (VaryMode none
                into a full copy), and, reported, that of the run that
                rotates a lone Grandson and fills a new one by links; every
                run followed by `sync`; for reference, the space with
                ShareUnchanged off
  memory        the peak memory of a run that plans a first backup of many
                files and stops before copying: the job asks for the
                overview, which the bench answers with Cancel on a
                pseudo-terminal; reported as bytes per candidate beyond the
                path texts

Usage: bench/bench.py [--quick] [--repeat R] [--cases a,b] [--dir PARENT] ...
(bench/bench.py --help lists every option). Without --tolvex it builds the
release command and library in build/bench first. --io-uring also measures,
in the same rounds, the engine with its listings' lookups made one at a time
(TOLVEX_IO_URING=off) and all batched through io_uring (=always).
"""

import argparse
import fcntl
import os
import platform
import re
import select
import shlex
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE_TIME = 1577880000  # 2020-01-01 12:00:00 UTC, an even second
FILES_PER_GROUP = 100  # folders per group folder: no folder holds thousands of folders

# Words of different lengths for file names, so that names are neither all
# short nor all long (a name of 16 bytes or more does not fit into a string
# object of the C++ library and costs a block of its own).
WORDS = ["a", "log", "data", "notes", "report", "invoice-2023", "holiday-photo",
         "IMG_2023_0815_summer", "Meeting minutes (final)", "x"]
EXTENSIONS = [".txt", ".jpg", "", ".pdf", ".docx", ".c", ".tar.gz", ".md"]

FULL = dict(small_files=50000, small_folders=2500, large_files=2, large_mib=512,
            tree_files=100000, tree_folders=5000, cold_files=50000, cold_folders=2500,
            memory_files=1000000, memory_folders=10000, generation_files=50000,
            generation_folders=2500, repeat=5)
QUICK = dict(small_files=10000, small_folders=500, large_files=2, large_mib=128,
             tree_files=20000, tree_folders=1000, cold_files=20000, cold_folders=1000,
             memory_files=100000, memory_folders=1000, generation_files=10000,
             generation_folders=500, repeat=3)
CASES = ["first-small", "first-large", "no-change", "no-change-cold", "incremental", "generations",
         "memory"]
# (case, peer): the peer's command as printed, the target as printed, the
# ratio it allows (None: reported only).
TARGETS = {
    ("first-small", "peer"): ("cp -a; sync", "<= 1.10 (stretch 1.00)", 1.10),
    ("first-large", "peer"): ("cp -a; sync", "<= 1.05", 1.05),
    ("no-change", "peer"): ("rsync -a", "<= 0.75 (floor 0.62)", 0.75),
    ("no-change-cold", "peer"): ("rsync -a, cold cache", "<= 0.75", 0.75),
    ("no-change-cold", "listing"): ("find both trees with stat, cold", "floor", None),
    ("incremental", "both"): ("rsync -a --update, both ways", "<= 0.5", 0.5),
    ("incremental", "peer"): ("rsync -a --update, one way", "report", None),
    ("incremental", "copies"): ("its copies alone (copies_alone.py)", "floor", None),
    ("generations-steady", "no-change"): ("tolvex no-change run, same tree", "<= 1.5", 1.5),
    ("generations", "no-change"): ("tolvex no-change run, same tree", "report", None),
}
# The room three generations of an unchanged tree may take, as a multiple
# of one copy (du over the destination).
GENERATIONS_SPACE_TARGET = 1.10


# --- Data --------------------------------------------------------------------------

def file_name(index):
    word = WORDS[index % len(WORDS)]
    extension = EXTENSIONS[(index // len(WORDS)) % len(EXTENSIONS)]
    return f"{word}-{index:07d}{extension}"


def folder_of(tree, folder):
    return os.path.join(tree, "Data", f"g{folder // FILES_PER_GROUP:03d}", f"d{folder:05d}")


def folder_layout(files, folders):
    """(folder index, file index) for every file, folders filled evenly."""
    per_folder = max(1, files // folders)
    for index in range(files):
        yield min(index // per_folder, folders - 1), index


FILLER = bytes(range(256)) * 256  # 64 KiB, not all zeros (no file system shortcut)


def write_file(path, size, mtime):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        left = size
        while left > 0:
            left -= os.write(fd, FILLER[:min(left, len(FILLER))])
    finally:
        os.close(fd)
    os.utime(path, (mtime, mtime))


def small_size(index):
    """Small files of 512 bytes to 16 KiB, 8 KiB on average."""
    return 512 + (index * 7919) % (16 * 1024 - 512)


def tree_size(index):
    return 64 + index % 512


def make_tree(tree, files, folders, size_of, name_of=file_name):
    made = set()
    for folder, index in folder_layout(files, folders):
        path = folder_of(tree, folder)
        if folder not in made:
            os.makedirs(path, exist_ok=True)
            made.add(folder)
        write_file(os.path.join(path, name_of(index)), size_of(index), BASE_TIME + 2 * (index % 1000))


def make_large_files(tree, count, mib):
    os.makedirs(os.path.join(tree, "Data"), exist_ok=True)
    block = os.urandom(1 << 20)
    for k in range(count):
        path = os.path.join(tree, "Data", f"large-{k}.bin")
        with open(path, "wb") as out:
            for _ in range(mib):
                out.write(block)
        os.utime(path, (BASE_TIME, BASE_TIME))


def tree_totals(tree):
    count = 0
    size = 0
    for folder, _, names in os.walk(tree):
        for name in names:
            count += 1
            size += os.lstat(os.path.join(folder, name)).st_size
    return count, size


def du_bytes(path):
    """The room a folder takes, each file counted once (`du`, as people
    measure it)."""
    out = subprocess.run(["du", "-s", "--block-size=1", path], check=True,
                         capture_output=True, text=True).stdout
    return int(out.split()[0])


def remove(path):
    if os.path.lexists(path):
        shutil.rmtree(path)


def sync():
    subprocess.run(["sync"], check=True)


# --- The incremental trees -------------------------------------------------------------

# What file `index` is in the incremental pair of trees.
SAME, NEWER_IN_SOURCE, NEWER_IN_DESTINATION, SOURCE_ONLY, DESTINATION_ONLY = range(5)


def incremental_kind(index):
    """10 % changed (half newer on each side), 5 % orphans on each side."""
    step = index % 20
    if step == 1:
        return NEWER_IN_SOURCE
    if step == 2:
        return NEWER_IN_DESTINATION
    if step == 3:
        return SOURCE_ONLY
    if step == 4:
        return DESTINATION_ONLY
    return SAME


def set_incremental_file(src, dst, folder, index, everything):
    """Writes file `index` of both trees as the case starts: all of them when
    `everything`, else only those a run may have changed."""
    kind = incremental_kind(index)
    if kind == SAME and not everything:
        return
    name = file_name(index)
    size = tree_size(index)
    mtime = BASE_TIME + 2 * (index % 1000)
    paths = [os.path.join(folder_of(tree, folder), name) for tree in (src, dst)]
    if kind == SAME:
        for path in paths:
            write_file(path, size, mtime)
    elif kind in (NEWER_IN_SOURCE, NEWER_IN_DESTINATION):
        newer = 0 if kind == NEWER_IN_SOURCE else 1
        write_file(paths[newer], size, mtime + 86400)
        write_file(paths[1 - newer], size // 2, mtime)
    else:
        present = 0 if kind == SOURCE_ONLY else 1
        write_file(paths[present], size, mtime)
        if os.path.lexists(paths[1 - present]):
            os.unlink(paths[1 - present])


def make_incremental_trees(src, dst, files, folders, everything):
    made = set()
    for folder, index in folder_layout(files, folders):
        if everything and folder not in made:
            for tree in (src, dst):
                os.makedirs(folder_of(tree, folder), exist_ok=True)
            made.add(folder)
        set_incremental_file(src, dst, folder, index, everything)


# --- Running commands ------------------------------------------------------------------

class Result:
    def __init__(self, wall, cpu, maxrss_kb, output):
        self.wall = wall
        self.cpu = cpu
        self.maxrss_kb = maxrss_kb
        self.output = output


PEAK_MEMORY = None  # the launcher that reports a command's own peak memory


def run_timed(args, then_sync, stdin=subprocess.DEVNULL, accept=(0,), env=None):
    """Runs `args` (then `sync` when asked) and returns its wall time, its
    CPU time and its peak resident set. `env`: variables set for it."""
    with tempfile.NamedTemporaryFile("r") as peak, tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        process = subprocess.Popen([PEAK_MEMORY, peak.name] + args, stdin=stdin, stdout=out,
                                   stderr=subprocess.STDOUT,
                                   env=None if env is None else {**os.environ, **env})
        _, status, usage = os.wait4(process.pid, 0)
        if then_sync:
            sync()
        wall = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        out.seek(0)
        output = out.read().decode(errors="replace")
        maxrss_kb = int(peak.read().strip().split("=")[1] or 0) if code != 127 else 0
    if code not in accept:
        sys.exit(f"bench: {' '.join(args)} failed ({code}):\n{output}")
    return Result(wall, usage.ru_utime + usage.ru_stime, maxrss_kb, output)


# The overview's key line ("... c Cancel  h Help") once the control sequences
# are taken out: the plan is made and on screen.
OVERVIEW_SHOWN = "h Help"
CANCEL_KEY = b"c"
EXIT_ABORTED = 1  # "Run aborted."
TERMINAL_ROWS, TERMINAL_COLUMNS = 24, 80
# A planning run of a million files takes well under a minute; a machine
# shared with builds may take many times that.
OVERVIEW_TIMEOUT = 1800
SCREEN_WINDOW = 16384  # bytes of the stream searched for the key line
CONTROL_SEQUENCE = re.compile(rb"\x1b(?:\[[0-?]*[ -/]*[@-~]|\][^\x07\x1b]*(?:\x07|\x1b\\)|[()][0-9A-Za-z]|.)")


def screen_text(raw):
    """The characters of a stretch of terminal output, its control
    sequences (colours, cursor moves, character sets) taken out."""
    return CONTROL_SEQUENCE.sub(b"", raw).decode(errors="replace")


def take_terminal():
    """In the launched child: a session of its own with the pseudo-terminal
    on its standard input as its controlling terminal, its process group in
    the foreground there (the command shows the overview only then)."""
    os.setsid()
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)


def run_cancelled_in_terminal(args):
    """Runs `args` on a pseudo-terminal, waits until the overview is on
    screen, answers it with Cancel and returns like `run_timed` (output:
    what the command wrote, control sequences and all). The peak memory is
    the command's own, through the same launcher."""
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ,
                struct.pack("HHHH", TERMINAL_ROWS, TERMINAL_COLUMNS, 0, 0))
    environment = dict(os.environ, TERM="xterm")
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        try:
            process = subprocess.Popen([PEAK_MEMORY, peak.name] + args, stdin=slave, stdout=slave,
                                       stderr=slave, preexec_fn=take_terminal, env=environment)
        finally:
            os.close(slave)
        output = bytearray()
        cancelled = False
        deadline = time.monotonic() + OVERVIEW_TIMEOUT
        try:
            # Read to the end even after Cancel: a command whose terminal
            # is not read blocks on its next write.
            while True:
                if not cancelled and OVERVIEW_SHOWN in screen_text(output[-SCREEN_WINDOW:]):
                    os.write(master, CANCEL_KEY)
                    cancelled = True
                    deadline = time.monotonic() + OVERVIEW_TIMEOUT
                left = deadline - time.monotonic()
                if left <= 0:
                    os.killpg(process.pid, signal.SIGKILL)  # its own session and group
                    os.wait4(process.pid, 0)
                    waited = "to end after Cancel" if cancelled else "for the overview"
                    sys.exit(f"bench: {' '.join(args)}: waited {OVERVIEW_TIMEOUT} s {waited}; "
                             f"the last screen bytes:\n{bytes(output[-2000:])!r}")
                if not select.select([master], [], [], left)[0]:
                    continue
                try:
                    chunk = os.read(master, 65536)
                except OSError:  # EIO: every holder of the terminal's other side has ended
                    break
                if not chunk:
                    break
                output += chunk
        finally:
            os.close(master)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        maxrss_kb = int(peak.read().strip().split("=")[1] or 0) if code != 127 else 0
    text = bytes(output).decode(errors="replace")
    if not cancelled:
        sys.exit(f"bench: {' '.join(args)} ended ({code}) before its overview was on screen; "
                 f"the last screen bytes:\n{bytes(output[-2000:])!r}")
    if code != EXIT_ABORTED or "Run aborted." not in text:
        sys.exit(f"bench: {' '.join(args)} did not end with \"Run aborted.\" ({code}) after "
                 f"Cancel; the last screen bytes:\n{bytes(output[-2000:])!r}")
    return Result(wall, usage.ru_utime + usage.ru_stime, maxrss_kb, text)


def write_job(path, source, destination, touch_mode="one-way", extra=""):
    with open(path, "w") as job:
        job.write(f"""[Job]
Filename = bench
Destination = {destination}
TouchMode = {touch_mode}
PathMode = relative
OrphanModeD1 = copy
OrphanModeD2 = ignore
OrphanModeB = copy
CreateDestDirs = yes
CreateSrcDirs = yes
LogActive = no
Midnight = 0
{extra}
[DInclSels]
{source}/*

[FInclSels]
*.*
""")


class Bench:
    def __init__(self, options):
        self.options = options
        # The engines measured: the one under test and, when given, an
        # earlier build measured in the same rounds.
        self.engines = [("tolvex", options.tolvex, None)]
        if options.before:
            self.engines.append(("before", options.before, None))
        if options.io_uring:
            self.engines.append(("no-uring", options.tolvex, {"TOLVEX_IO_URING": "off"}))
            self.engines.append(("all-uring", options.tolvex, {"TOLVEX_IO_URING": "always"}))
        self.rows = []
        self.not_measured = []  # (case, why)
        self.memory = []
        self.space = []  # (label, bytes of one copy, bytes of three generations)
        self.descriptions = {}
        parent = options.dir or os.environ.get("TMPDIR") or "/tmp"
        self.base = tempfile.mkdtemp(prefix="tolvex-bench.", dir=parent)

    def log(self, text):
        print(text, file=sys.stderr, flush=True)

    def engine_runs(self, job, then_sync=True, accept=(0,)):
        return [(label, lambda command=command, env=env: run_timed(
                    [command, "--yes", job], then_sync, accept=accept, env=env))
                for label, command, env in self.engines]

    def paired(self, name, prepare, engine_runs, peer_runs, check=None):
        """Runs every engine and the peers in turns, the order rotated from
        round to round, after one untimed warm-up round. `peer_runs`: one
        run (the peer "peer"), or (key, run) pairs."""
        if callable(peer_runs):
            peer_runs = [("peer", peer_runs)]
        runs = engine_runs + peer_runs
        results = {label: [] for label, _ in runs}
        for round_ in range(self.options.repeat + 1):
            shift = round_ % len(runs)
            for label, run in runs[shift:] + runs[:shift]:
                prepare(label)
                result = run()
                if check:
                    check(label, result)
                if round_ > 0:  # the first round warms the caches
                    results[label].append(result)
            if round_ > 0:
                self.log(f"  {name} round {round_}: " + ", ".join(
                    f"{label} {results[label][-1].wall:.3f} s" for label, _ in runs))
        self.rows.append((name, results))

    # --- Cases -------------------------------------------------------------------------

    def first_backup(self, name, make_source):
        src = os.path.join(self.base, "src")
        dst = os.path.join(self.base, "dst")
        job = os.path.join(self.base, "first.job")
        self.log(f"{name}: making the source")
        make_source(src)
        expected = tree_totals(src)
        write_job(job, src, dst)

        def prepare(_):
            remove(dst)
            sync()

        def check(who, result):
            # Both put the source's content into dst: cp -a as a copy of the
            # folder, the engine by its relative path mode.
            if tree_totals(dst) != expected:
                sys.exit(f"bench: {name}: {who} left {tree_totals(dst)} (files, bytes), "
                         f"expected {expected}\n{result.output}")

        self.paired(name, prepare, self.engine_runs(job),
                    lambda: run_timed(["cp", "-a", src, dst], True), check)
        remove(dst)
        remove(src)

    def case_first_small(self):
        o = self.options
        self.describe("first-small", f"first backup, {o.small_files} small files "
                      f"in {o.small_folders} folders")
        self.first_backup("first-small", lambda src: make_tree(
            src, o.small_files, o.small_folders, small_size))

    def case_first_large(self):
        o = self.options
        self.describe("first-large", f"first backup, {o.large_files} files of {o.large_mib} MiB")
        self.first_backup("first-large", lambda src: make_large_files(src, o.large_files, o.large_mib))

    def case_no_change(self):
        o = self.options
        self.describe("no-change", f"no-change run, {o.tree_files} files in {o.tree_folders} folders")
        src = os.path.join(self.base, "src")
        dst = os.path.join(self.base, "dst")
        job = os.path.join(self.base, "same.job")
        self.log("no-change: making both trees")
        make_tree(src, o.tree_files, o.tree_folders, tree_size)
        make_tree(dst, o.tree_files, o.tree_folders, tree_size)
        write_job(job, src, dst)

        def check(who, result):
            if who != "peer" and "Run completed" not in result.output:
                sys.exit(f"bench: no-change: {who} did not complete:\n{result.output}")

        sync()
        # Nothing is written, so nothing is synced: both only read.
        self.paired("no-change", lambda who: None, self.engine_runs(job, then_sync=False),
                    lambda: run_timed(["rsync", "-a", src + "/", dst + "/"], False), check)
        # A run with nothing changed must have changed nothing.
        if tree_totals(dst) != tree_totals(src):
            sys.exit("bench: no-change: the trees differ after the runs")
        remove(src)
        remove(dst)

    def case_no_change_cold(self):
        o = self.options
        self.describe("no-change-cold", f"no-change run, cold cache, {o.cold_files} files "
                      f"in {o.cold_folders} folders")
        if os.geteuid() != 0:
            self.not_measured.append(("no-change-cold", "not measured (dropping the caches needs root)"))
            return
        src = os.path.join(self.base, "src")
        dst = os.path.join(self.base, "dst")
        job = os.path.join(self.base, "same.job")
        self.log("no-change-cold: making both trees")
        make_tree(src, o.cold_files, o.cold_folders, tree_size)
        make_tree(dst, o.cold_files, o.cold_folders, tree_size)
        write_job(job, src, dst)

        def drop_caches(_):
            sync()
            with open("/proc/sys/vm/drop_caches", "w") as caches:
                caches.write("3\n")

        def check(who, result):
            if who not in ("peer", "listing") and "Run completed" not in result.output:
                sys.exit(f"bench: no-change-cold: {who} did not complete:\n{result.output}")

        # The floor: both trees listed and every entry's metadata read once,
        # nothing compared or written.
        listing = ["find", src, dst, "-printf", "%s %T@\n"]
        self.paired("no-change-cold", drop_caches, self.engine_runs(job, then_sync=False), [
            ("peer", lambda: run_timed(["rsync", "-a", src + "/", dst + "/"], False)),
            ("listing", lambda: run_timed(listing, False)),
        ], check)
        if tree_totals(dst) != tree_totals(src):
            sys.exit("bench: no-change-cold: the trees differ after the runs")
        remove(src)
        remove(dst)

    def case_incremental(self):
        o = self.options
        self.describe("incremental", f"incremental, {o.tree_files} files (10 % changed, 5+5 % orphans)")
        src = os.path.join(self.base, "src")
        dst = os.path.join(self.base, "dst")
        job = os.path.join(self.base, "both.job")
        self.log("incremental: making both trees")
        make_incremental_trees(src, dst, o.tree_files, o.tree_folders, True)
        write_job(job, src, dst, touch_mode="both")

        plan = os.path.join(self.base, "plan.json")
        command = self.engines[0][1]

        def prepare(who):
            # Only the files a run changes are written again.
            make_incremental_trees(src, dst, o.tree_files, o.tree_folders, False)
            if who == "copies":
                # The copies a run would make now, made alone.
                with open(plan, "w") as out:
                    subprocess.run([command, "plan", "-v", "--format=json", job], stdout=out,
                                   stderr=subprocess.DEVNULL, check=True)
            sync()

        # The peer that does the same work: each side's changes and new
        # files copied to the other, then made durable.
        both_ways = (f"rsync -a --update {shlex.quote(src + '/')} {shlex.quote(dst + '/')} && "
                     f"rsync -a --update {shlex.quote(dst + '/')} {shlex.quote(src + '/')}")

        def check(who, _):
            # The one-way peer leaves the source side behind.
            if who != "peer" and tree_totals(src) != tree_totals(dst):
                sys.exit(f"bench: incremental: the sides differ after {who}")

        self.paired("incremental", prepare, self.engine_runs(job), [
            ("both", lambda: run_timed(["sh", "-c", both_ways], True)),
            ("peer", lambda: run_timed(["rsync", "-a", "--update", src + "/", dst + "/"], True)),
            ("copies", lambda: run_timed([sys.executable, os.path.join(ROOT, "bench", "copies_alone.py"),
                                          plan], True)),
        ], check)
        remove(src)
        remove(dst)

    def case_generations(self):
        o = self.options
        self.describe("generations", f"rotation run, new Grandson, {o.generation_files} files "
                      f"in {o.generation_folders} folders")
        src = os.path.join(self.base, "src")
        dst = os.path.join(self.base, "dst")
        same = os.path.join(self.base, "same")
        self.log("generations: making the source")
        make_tree(src, o.generation_files, o.generation_folders, small_size)
        expected = tree_totals(src)
        command = self.engines[0][1]

        def three_generations(share):
            job = os.path.join(self.base, f"generations-{share}.job")
            write_job(job, src, dst, extra=f"VaryMode = generations\nShareUnchanged = {share}\n")
            remove(dst)
            sizes = []
            for _ in range(3):
                run_timed([command, "--yes", job], True)
                sizes.append(du_bytes(dst))
            for name in ("Grandson", "Son", "Father"):
                if tree_totals(os.path.join(dst, name)) != expected:
                    sys.exit(f"bench: generations: {name} does not hold the source's files")
            return job, sizes

        _, plain = three_generations("no")
        self.space.append(("ShareUnchanged = no", plain[0], plain[2]))
        job, shared = three_generations("yes")
        self.space.append(("ShareUnchanged = yes", shared[0], shared[2]))
        shutil.copytree(src, same, symlinks=True)
        same_job = os.path.join(self.base, "same.job")
        write_job(same_job, src, same)

        def check(who, result):
            if "Run completed" not in result.output:
                sys.exit(f"bench: generations: {who} did not complete:\n{result.output}")
            if who != "no-change" and tree_totals(os.path.join(dst, "Grandson")) != expected:
                sys.exit(f"bench: generations: {who} left Grandson incomplete")

        # The steady state: each run rotates the three generations, and the
        # old Father, which becomes Grandson, is up to date already.
        self.describe("generations-steady", f"rotation run, three generations, "
                      f"{o.generation_files} files")
        self.paired("generations-steady", lambda who: sync(), self.engine_runs(job), [
            ("no-change", lambda: run_timed([command, "--yes", same_job], True)),
        ], check)
        # The timed rotation: Grandson alone, as after the first run; the
        # run renames it to Son and fills a new Grandson.
        for name in ("Son", "Father"):
            remove(os.path.join(dst, name))
        os.rename(os.path.join(dst, "Grandson"), os.path.join(dst, "Son"))

        def prepare(_):
            remove(os.path.join(dst, "Grandson"))
            if os.path.exists(os.path.join(dst, "Son")):
                return
            sys.exit("bench: generations: Son is missing")

        def rotation_prepare(label):
            prepare(label)
            # Son goes back to Grandson: the run rotates it to Son again.
            os.rename(os.path.join(dst, "Son"), os.path.join(dst, "Grandson"))
            sync()

        def prepare_either(label):
            if label == "no-change":
                prepare(label)
            else:
                rotation_prepare(label)

        self.paired("generations", prepare_either, self.engine_runs(job), [
            ("no-change", lambda: run_timed([command, "--yes", same_job], True)),
        ], check)
        remove(src)
        remove(dst)
        remove(same)

    def case_memory(self):
        o = self.options
        src = os.path.join(self.base, "src")
        one = os.path.join(self.base, "one")
        dst = os.path.join(self.base, "dst")
        self.log(f"memory: making {o.memory_files} files")
        # The baseline plan holds one file: a plan without candidates shows
        # no overview ("No files found: nothing to update."), and the
        # baseline must take the same path as the measured run.
        os.makedirs(one)
        os.close(os.open(os.path.join(one, file_name(0)), os.O_WRONLY | os.O_CREAT, 0o644))
        made = set()
        name_bytes = 0
        for folder, index in folder_layout(o.memory_files, o.memory_folders):
            path = folder_of(src, folder)
            if folder not in made:
                os.makedirs(path)
                made.add(folder)
            name = file_name(index)
            name_bytes += len(name)
            os.close(os.open(os.path.join(path, name), os.O_WRONLY | os.O_CREAT, 0o644))
        # Folder texts in drive form ("C:\\...\\": the native path with a
        # letter and a colon in front and a backslash at the end), once as
        # the scanned folder and once as its counterpart. Every folder of the
        # tree is scanned: the selection, Data, the groups and the leaves.
        scanned = {src, os.path.join(src, "Data")}
        for folder in made:
            scanned.add(folder_of(src, folder))
            scanned.add(os.path.dirname(folder_of(src, folder)))
        folder_bytes = sum(len(path) + 3 + len(dst + path[len(src):]) + 3 for path in scanned)
        texts = name_bytes + folder_bytes
        sync()
        # Both runs stop at the overview, the plan made and nothing copied:
        # the peak is the plan's (and the overview's list of it).
        overview = "ConfirmMode = overview\n"
        job = os.path.join(self.base, "plan.job")
        one_job = os.path.join(self.base, "one.job")
        write_job(job, src, dst, extra=overview)
        write_job(one_job, one, dst, extra=overview)
        for label, command, _env in self.engines:
            growths, walls = [], []
            for round_ in range(o.repeat):
                baseline = run_cancelled_in_terminal([command, one_job])
                planned = run_cancelled_in_terminal([command, job])
                growths.append((planned.maxrss_kb - baseline.maxrss_kb) * 1024)
                walls.append(planned.wall)
                self.log(f"  memory {label} round {round_ + 1}: peak {planned.maxrss_kb} KB, "
                         f"one-file plan {baseline.maxrss_kb} KB, {planned.wall:.2f} s")
            # The baseline's one candidate moves the figure by far less than
            # its rounding.
            growth = statistics.median(growths)
            self.memory.append((label, o.memory_files, growth, texts,
                                (growth - texts) / o.memory_files, statistics.median(walls)))
        remove(src)
        remove(one)
        remove(dst)

    def describe(self, case, text):
        self.descriptions[case] = text

    # --- Report ------------------------------------------------------------------------

    def report(self, load_before, load_after):
        labels = [label for label, _, _ in self.engines]
        print()
        print(f"machine: {machine_text()}")
        print(f"load average (1, 5, 15 min) before: {load_before}; after: {load_after}")
        print(f"data below {os.path.dirname(self.base)} ({file_system_of(self.base)}); "
              f"{self.options.repeat} rounds after one warm-up round, programs taken in turns; "
              f"medians in seconds")
        for label, command, env in self.engines:
            variables = "".join(f"{key}={value} " for key, value in (env or {}).items())
            print(f"{label}: {variables}{command}")
        print()
        columns = "".join(f" {label:>9}" for label in labels) + f" {'peer':>8}" + \
            "".join(f" {label + '/peer':>14}" for label in labels)
        header = f"{'case':<58}{columns}  {'peer command':<30} target"
        print(header)
        print("-" * len(header))
        for name, results in self.rows:
            medians = {label: statistics.median(r.wall for r in runs) for label, runs in results.items()}
            for peer in [key for key in results if key not in labels]:
                peer_name, target_text, target = TARGETS[(name, peer)]
                ratios = [medians[label] / medians[peer] for label in labels]
                verdict = "" if target is None else ("  met" if ratios[0] <= target else "  NOT MET")
                # A floor measured in the same rounds: how far the target is
                # from the cost of the work itself.
                floors = [key for key in results if TARGETS.get((name, key), ("", ""))[1] == "floor"]
                if target is not None and floors:
                    verdict += f" (floor {medians[floors[0]] / medians[peer]:.2f})"
                print(f"{self.descriptions[name]:<58}" +
                      "".join(f" {medians[label]:9.3f}" for label in labels) +
                      f" {medians[peer]:8.3f}" + "".join(f" {ratio:14.2f}" for ratio in ratios) +
                      f"  {peer_name:<30} {target_text}{verdict}")
        for name, why in self.not_measured:
            peer_name, target_text, _ = TARGETS[(name, "peer")]
            print(f"{self.descriptions[name]:<58} {why}  ({peer_name}: {target_text})")
        for label, files, growth, texts, per_candidate, wall in self.memory:
            verdict = "met" if per_candidate <= 250 else "NOT MET"
            print(f"memory, {files}-file plan, {label}: {per_candidate:.0f} bytes per candidate "
                  f"beyond the path texts (target <= 250: {verdict}); peak {growth / 1e6:.1f} MB "
                  f"above a one-file plan, path texts {texts / 1e6:.1f} MB; planned in {wall:.2f} s")
        for label, one, three in self.space:
            ratio = three / one
            verdict = "met" if ratio <= GENERATIONS_SPACE_TARGET else "NOT MET"
            print(f"generations, {label}: du of three generations {three / 1e6:.1f} MB, of one "
                  f"copy {one / 1e6:.1f} MB, ratio {ratio:.3f} (target <= "
                  f"{GENERATIONS_SPACE_TARGET:.2f} with ShareUnchanged = yes: "
                  f"{verdict if label.endswith('yes') else 'reference'})")
        print()
        print("every round in seconds; median CPU time (user + system) and peak memory:")
        for name, results in self.rows:
            for label, runs in results.items():
                cpu = statistics.median(r.cpu for r in runs)
                peak = statistics.median(r.maxrss_kb for r in runs) / 1024
                print(f"  {name:<14} {label:<9} " + " ".join(f"{r.wall:.3f}" for r in runs) +
                      f"   cpu {cpu:.3f} s, peak {peak:.1f} MB")


def machine_text():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} cores, Linux {platform.release()}"


def file_system_of(path):
    best = ("", "unknown")
    try:
        with open("/proc/mounts") as mounts:
            for line in mounts:
                fields = line.split()
                if len(fields) > 2 and path.startswith(fields[1]) and len(fields[1]) > len(best[0]):
                    best = (fields[1], fields[2])
    except OSError:
        pass
    return best[1]


def load_average():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def build_tools(with_tolvex):
    """Builds the launcher (and the release command and library unless one is
    given) in build/bench; returns the folder of the programs."""
    build = os.environ.get("TOLVEX_BENCH_BUILD", os.path.join(ROOT, "build", "bench"))
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DTOLVEX_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    targets = ["peak_memory"] + (["tolvex", "tolvex32"] if with_tolvex else [])
    subprocess.run(["cmake", "--build", build, "--target"] + targets, check=True,
                   stdout=subprocess.DEVNULL)
    return build


def parse_options():
    parser = argparse.ArgumentParser(
        description="Runs the engine and its peers in turns and prints medians and ratios.")
    parser.add_argument("--quick", action="store_true",
                        help="smaller data (a few minutes in all); sizes given below still win")
    parser.add_argument("--cases", default=",".join(CASES),
                        help=f"comma-separated cases to run (default: all: {','.join(CASES)})")
    parser.add_argument("--repeat", type=int, help="paired rounds per case (full 5, quick 3)")
    parser.add_argument("--dir", help="parent of the data folder (default $TMPDIR or /tmp)")
    parser.add_argument("--tolvex", help="the tolvex command to measure (default: build one)")
    parser.add_argument("--before", help="an earlier tolvex command, measured in the same rounds")
    parser.add_argument("--io-uring", action="store_true",
                        help="also measure the command with TOLVEX_IO_URING=off and =always")
    for key, value in FULL.items():
        if key != "repeat":
            parser.add_argument("--" + key.replace("_", "-"), type=int,
                                help=f"full {value}, quick {QUICK[key]}")
    options = parser.parse_args()
    sizes = QUICK if options.quick else FULL
    for key, value in sizes.items():
        if getattr(options, key) is None:
            setattr(options, key, value)
    options.cases = [case for case in options.cases.split(",") if case]
    unknown = [case for case in options.cases if case not in CASES]
    if unknown:
        parser.error(f"unknown case {', '.join(unknown)}")
    return options


def main():
    options = parse_options()
    for tool in ("cp", "rsync", "sync"):
        if shutil.which(tool) is None:
            sys.exit(f"bench: {tool} is not installed")
    global PEAK_MEMORY
    build = build_tools(with_tolvex=not options.tolvex)
    PEAK_MEMORY = os.path.join(build, "bench", "peak_memory")
    options.tolvex = os.path.abspath(options.tolvex or os.path.join(build, "bin", "tolvex"))
    if options.before:
        options.before = os.path.abspath(options.before)
    bench = Bench(options)
    load_before = load_average()
    try:
        for case in options.cases:
            getattr(bench, "case_" + case.replace("-", "_"))()
    finally:
        shutil.rmtree(bench.base, ignore_errors=True)
    bench.report(load_before, load_average())


if __name__ == "__main__":
    main()
