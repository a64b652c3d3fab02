#!/usr/bin/env python3
"""What the engine backs up of an ordinary Linux tree, row by row, beside rsync -a.

Builds a tree like a Linux home (parts of /usr/include, /usr/share and
/usr/lib copied with their links, plus hand-made files: names Windows cannot
hold, links to files, to folders and dangling, an empty folder, a folder of
mode 700, a pipe), backs it up with the `tolvex` command into a folder on
the same disk, then asks `rsync -a --dry-run --itemize-changes SRC/ DEST/`
what rsync would still change. A second phase changes only the mode of a
file (644 to 600), runs the job again and asks rsync again.

For each row of the table it prints how many entries of that kind the tree
holds, how many of them rsync still finds different after the run (0: backed
up as rsync -a does), and what the command reported of them. At the end: the
exit statuses and whether the runs were recorded in JOB.state.

Usage: bench/linux_home_table.py [--tolvex PATH] [--dir PARENT] [--keep]
           [--max-size SIZE]
--tolvex defaults to build/linux-release/bin/tolvex (with its library beside
it). Not part of the test run.
"""

import argparse
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The parts of the system copied into the tree (as links where they are
# links): case twins in the kernel's netfilter headers, links to files in the
# time zones, links to folders in clang's folders, dangling links in the JDK.
SYSTEM_PARTS = [
    "/usr/include/linux",
    "/usr/share/zoneinfo",
    "/usr/lib/clang",
    "/usr/lib/jvm",
]

RESERVED = set(':?*\\<>|"')


def make_tree(src, max_size):
    os.makedirs(src)
    for part in SYSTEM_PARTS:
        if not os.path.exists(part):
            continue
        target = os.path.join(src, part.strip("/").replace("/", "_"))
        subprocess.run(["rsync", "-a", "--no-D", "--max-size=" + max_size, part + "/", target + "/"],
                       check=False, stderr=subprocess.DEVNULL)
    hand = os.path.join(src, "hand")
    os.makedirs(hand)
    for name in ["a:b.txt", "what?.txt", "star*.txt", "back\\slash.txt", "<angle>.txt",
                 "pipe|quote\".txt", "trailing dot.", "trailing space "]:
        with open(os.path.join(hand, name), "w") as f:
            f.write("content of " + name)
    for name in ["Readme.txt", "README.txt"]:
        with open(os.path.join(hand, name), "w") as f:
            f.write(name)
    with open(os.path.join(hand, "plain.txt"), "w") as f:
        f.write("plain")
    os.symlink("plain.txt", os.path.join(hand, "link-to-file"))
    os.makedirs(os.path.join(hand, "folder"))
    with open(os.path.join(hand, "folder", "inside.txt"), "w") as f:
        f.write("inside")
    os.symlink("folder", os.path.join(hand, "link-to-folder"))
    os.symlink("nowhere", os.path.join(hand, "dangling"))
    os.makedirs(os.path.join(hand, "empty"))
    os.makedirs(os.path.join(hand, "private"))
    with open(os.path.join(hand, "private", "secret.txt"), "w") as f:
        f.write("secret")
    os.chmod(os.path.join(hand, "private"), 0o700)
    with open(os.path.join(hand, "mode-changes.txt"), "w") as f:
        f.write("mode alone changes")
    os.chmod(os.path.join(hand, "mode-changes.txt"), 0o644)
    os.mkfifo(os.path.join(hand, "fifo"))


def classify(src):
    """Each row's entries, as paths relative to src."""
    rows = {key: set() for key in ["case", "names", "flink", "dlink", "dangling", "empty", "mode700",
                                   "fifo", "files"]}
    for folder, dirs, files in os.walk(src):
        rel_folder = os.path.relpath(folder, src)
        names = dirs + files
        lower = {}
        for name in names:
            lower.setdefault(name.lower(), []).append(name)
        for name in names:
            path = os.path.join(folder, name)
            rel = os.path.normpath(os.path.join(rel_folder, name))
            st = os.lstat(path)
            if len(lower[name.lower()]) > 1:
                rows["case"].add(rel)
            if RESERVED & set(name) or name.endswith(".") or name.endswith(" "):
                rows["names"].add(rel)
            if stat.S_ISLNK(st.st_mode):
                if not os.path.exists(path):
                    rows["dangling"].add(rel)
                elif os.path.isdir(path):
                    rows["dlink"].add(rel)
                else:
                    rows["flink"].add(rel)
            elif stat.S_ISDIR(st.st_mode):
                if not os.listdir(path):
                    rows["empty"].add(rel)
                if stat.S_IMODE(st.st_mode) != 0o755:
                    rows["mode700"].add(rel)
            elif stat.S_ISFIFO(st.st_mode):
                rows["fifo"].add(rel)
            elif stat.S_ISREG(st.st_mode):
                rows["files"].add(rel)
    return rows


def write_job(job, src, dest):
    with open(job, "w") as f:
        f.write("[Job]\nDestination = %s\nLogActive = 0\n[DInclSels]\n%s/*\n[FInclSels]\n*.*\n"
                % (dest, src))


def run_tolvex(tolvex, job):
    result = subprocess.run([tolvex, "--format=json", "--yes", job], capture_output=True, text=True,
                            stdin=subprocess.DEVNULL)
    found = {}
    text = ""
    for line in result.stdout.splitlines():
        try:
            item = json.loads(line)
        except ValueError:
            continue
        if item.get("kind") == "summary":
            found = item.get("found", {})
        if item.get("kind") == "result":
            text = item.get("text", "")
    not_backed_up = [line for line in result.stderr.splitlines() if "tolvex: " in line]
    return result.returncode, found, not_backed_up, text


def rsync_differs(src, dest):
    """The paths rsync -a would still change (folder times and pipes aside)."""
    result = subprocess.run(["rsync", "-a", "--dry-run", "--itemize-changes", "--omit-dir-times",
                             "--no-D", src + "/", dest + "/"], capture_output=True, text=True)
    paths = set()
    for line in result.stdout.splitlines():
        if len(line) > 12 and line[11] == " ":
            path = line[12:]
            if " -> " in path and line[1] == "L":
                path = path.split(" -> ")[0]
            paths.add(os.path.normpath(path.rstrip("/")))
    return paths


ROW_TEXT = [
    ("case", "case twins, both sides ext4", "case twin"),
    ("names", "names with : ? * \\ < > | \", trailing dot/space", "unusable name"),
    ("flink", "symbolic links to files", None),
    ("dlink", "symbolic links to folders", "link not followed"),
    ("dangling", "dangling links", None),
    ("empty", "empty folders", None),
    ("mode700", "folders of another mode than 755", None),
    ("modechange", "a file whose mode alone changed (644 -> 600)", None),
    ("fifo", "pipes (rsync -a makes them; compared without -D)", "special file"),
    ("files", "ordinary files (none of the above)", None),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tolvex", default=os.path.join(ROOT, "build/linux-release/bin/tolvex"))
    parser.add_argument("--dir", default=None, help="parent folder of the trees (default: $TMPDIR)")
    parser.add_argument("--max-size", default="256k", help="largest system file copied in")
    parser.add_argument("--keep", action="store_true", help="keep the trees")
    args = parser.parse_args()
    if shutil.which("rsync") is None:
        sys.exit("linux_home_table: rsync is not installed")
    top = tempfile.mkdtemp(prefix="tolvex-home-", dir=args.dir)
    src, dest, job = os.path.join(top, "home"), os.path.join(top, "backup"), os.path.join(top, "home.job")
    try:
        make_tree(src, args.max_size)
        rows = classify(src)
        # The ordinary files row holds only files of no other row.
        others = set().union(*(rows[k] for k in rows if k != "files"))
        rows["files"] -= others
        write_job(job, src, dest)
        status1, found1, problems1, text1 = run_tolvex(args.tolvex, job)
        recorded1 = os.path.exists(job + ".state")
        differs1 = rsync_differs(src, dest)
        # The mode alone changes; a second run should update it.
        changed = os.path.join(src, "hand", "mode-changes.txt")
        os.chmod(changed, 0o600)
        status2, found2, problems2, text2 = run_tolvex(args.tolvex, job)
        differs2 = rsync_differs(src, dest)
        rows["modechange"] = {os.path.relpath(changed, src)}

        def below(paths, entries):
            # An entry counts as different when rsync lists it or anything below it.
            return {e for e in entries if any(p == e or p.startswith(e + "/") for p in paths)}

        print("%-52s %7s %15s  %s" % ("found in the tree", "entries", "unlike rsync -a", "tolvex reported"))
        for key, text, finding in ROW_TEXT:
            entries = rows[key]
            differs = differs2 if key == "modechange" else differs1
            unlike = below(differs, entries)
            reported = ""
            if finding and found1.get(finding):
                reported = '%d "%s"' % (found1[finding], finding)
            print("%-52s %7d %15d  %s" % (text, len(entries), len(unlike), reported))
        print()
        print("first run: exit %d, JOB.state %s; found %s" % (status1, "written" if recorded1 else "not written",
                                                               json.dumps(found1)))
        print("  " + text1)
        print("second run (after chmod 600): exit %d; rsync -a still lists %d entries" % (status2, len(differs2)))
        reasons = [line for line in problems1 if "not backed up" in line or "failed" in line]
        print("first run's problems on standard error: %d lines" % len(reasons))
    finally:
        if args.keep:
            print("trees kept in " + top)
        else:
            subprocess.run(["chmod", "-R", "u+rwx", top], check=False)
            shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    main()
