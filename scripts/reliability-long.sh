#!/usr/bin/env bash
# The reliability tests, longer than CI runs them:
#   - the fault sweep with faults that persist (every later call of the kind
#     fails too) besides those that strike once, over a wider tree;
#   - the crash test for MINUTES minutes (default 20): three quarters of the
#     kills in copy-heavy runs, one quarter in the generation rotation.
#   scripts/reliability-long.sh [MINUTES]
# Builds the linux-release preset first. Each test prints its figures
# (faulty runs per job and kind; kills, where they landed, completing runs).
set -euo pipefail

cd "$(dirname "$0")/.."
minutes=${1:-20}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [[ $minutes -lt 1 ]]; then
  echo "usage: $0 [MINUTES]" >&2
  exit 2
fi
cmake --preset linux-release > /dev/null
cmake --build --preset linux-release -j "${TOLVEX_JOBS:-2}"

echo "==> fault sweep (long)"
TOLVEX_SWEEP_LONG=1 build/linux-release/tests/fault_sweep_tests

seconds=$((minutes * 60))
echo "==> crash test (${minutes} min)"
TOLVEX_CRASH_SECONDS=$((seconds * 3 / 4)) TOLVEX_CRASH_ROTATION_SECONDS=$((seconds / 4)) \
  build/linux-release/tests/crash_tests
