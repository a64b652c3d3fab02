#!/usr/bin/env bash
# The example jobs of the README's first command: made fresh and run with the
# built tolvex command; their log must show copies, skips and an erase, and
# the trees must hold what the jobs promise.
#   tests/example_jobs_test.sh [EMULATOR WORDS...] TOLVEX
# (a build for another processor puts its emulator's words in front)
set -euo pipefail

tolvex=("$@")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvex-example.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$here/examples/make-example.sh" "$work" > /dev/null
# Each job's plan first (JSON), then the run with each action it carries out.
"${tolvex[@]}" plan --format=json "$work/backup.job" < /dev/null > "$work/backup.plan"
"${tolvex[@]}" -v --format=json "$work/backup.job" < /dev/null > "$work/backup.run"
"${tolvex[@]}" plan --format=json "$work/two-way.job" < /dev/null > "$work/two-way.plan"
"${tolvex[@]}" -v --format=json "$work/two-way.job" < /dev/null > "$work/two-way.run"
log=$(tr -d '\r' < "$work/tolvex.log")

failed=0
expect() {  # expect DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then echo "ok: $description"; else echo "FAILED: $description"; failed=1; fi
}
count() { grep -c -- "$1" <<< "$log" || true; }

expect "the backup copies four files" test "$(count 'File copied: E:\\source')" -ge 4
expect "the backup erases the removed file" test "$(count 'File erased: E:\\backup\\removed.txt')" -eq 1
expect "the two-way run skips files on one side" test "$(count 'File skipped:')" -ge 1
expect "the cache folder stays out" test ! -e "$work/backup/cache"
expect "the backup holds the new file" test -f "$work/backup/notes/2026/january.txt"
expect "the removed file is gone" test ! -e "$work/backup/removed.txt"
expect "the laptop's newer readme came back" grep -q "edited on the laptop" "$work/source/readme.txt"
expect "the generations rotated" test -f "$work/laptop/Grandson/todo.txt"
expect "both runs are recorded" test -f "$work/backup.job.state" -a -f "$work/two-way.job.state"

# The actions of a JSON output, one per line: kind, from, to.
actions() {
  python3 -c '
import json, sys
for line in sys.stdin:
    item = json.loads(line)
    if item["kind"] in ("copy", "copy_back", "erase", "skip"):
        print(item["kind"], item["from"], item.get("to", ""))
' < "$1"
}
for job in backup two-way; do
  expect "$job.job plans actions" test -n "$(actions "$work/$job.plan")"
  expect "$job.job does what its plan said" test "$(actions "$work/$job.plan")" = "$(actions "$work/$job.run")"
done
if [[ $failed -ne 0 ]]; then
  printf '%s\n' "$log"
fi
exit "$failed"
