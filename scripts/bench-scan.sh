#!/usr/bin/env bash
# Benchmarks the tree scan against rsync's dry run (not part of the test run).
#
#   scripts/bench-scan.sh [--files N] [--folders M] [--repeat R] [--dir PARENT] [--keep]
#
# Builds a release build of bench/scan_bench (in build/bench, or in
# $TOLVEX_BENCH_BUILD), generates a source tree and two destination trees of
# N files (default 100 000) in M folders (default 5 000) below PARENT
# (default $TMPDIR or /tmp), and prints, for the up-to-date and the changed
# destination, the scan's and rsync's wall and CPU time and peak memory.
# Needs rsync. The trees are removed afterwards unless --keep is given.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVEX_BENCH_BUILD:-$root/build/bench}

command -v rsync >/dev/null || { echo "bench-scan: rsync is not installed" >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target scan_bench >/dev/null
exec "$build/bench/scan_bench" "$@"
