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
"${tolvex[@]}" "$work/backup.job" < /dev/null
"${tolvex[@]}" "$work/two-way.job" < /dev/null
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
if [[ $failed -ne 0 ]]; then
  printf '%s\n' "$log"
fi
exit "$failed"
