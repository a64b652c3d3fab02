#!/usr/bin/env bash
# The differential test for longer than the suite gives it: random trees,
# jobs and edits, the rules of every run checked after each.
#   scripts/differential.sh [MINUTES] [SEED]
# Builds the test of the linux-release preset first. TOLVEX_DIFFERENTIAL_ALLOW
# (names of tests/differential_exclusions.h, or "all") lets known faults'
# shapes in. A failure prints the seed and session that bring it back:
#   TOLVEX_DIFFERENTIAL_SEED=S TOLVEX_DIFFERENTIAL_SESSION=N TOLVEX_DIFFERENTIAL_TRACE=1 \
#     build/linux-release/tests/differential_tests
set -euo pipefail

cd "$(dirname "$0")/.."
minutes=${1:-10}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [[ $minutes -lt 1 ]]; then
  echo "usage: $0 [MINUTES] [SEED]" >&2
  exit 2
fi
cmake --preset linux-release > /dev/null
cmake --build build/linux-release --target differential_tests -j "${TOLVEX_JOBS:-2}"
# A new seed each hunt unless one is given (the suite keeps one of its own).
export TOLVEX_DIFFERENTIAL_SEED=${2:-$(( (RANDOM * 32768 + RANDOM) % 1000000 ))}
TOLVEX_DIFFERENTIAL_SECONDS=$((minutes * 60)) build/linux-release/tests/differential_tests
