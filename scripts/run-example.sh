#!/usr/bin/env bash
# Runs the example jobs end to end and prints their log:
#   scripts/run-example.sh
# Builds the tolvex command and the engine library (preset linux-release,
# into build/linux-release; installs the build tools first when they are
# missing), makes fresh example data in build/example, runs the one-way
# backup (examples/backup.job) and then the two-way update with rotating
# generations (examples/two-way.job), and prints the log both wrote.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v cmake > /dev/null || ! command -v ninja > /dev/null ||
   ! command -v g++ > /dev/null || [[ ! -f /usr/include/gtest/gtest.h ]]; then
  scripts/install-deps.sh
fi

echo "== Building tolvex and the engine library (build/linux-release)"
cmake --preset linux-release > /dev/null
cmake --build --preset linux-release --target tolvex tolvex32

example=$root/build/example
echo "== Making the example data in $example"
examples/make-example.sh "$example"

tolvex=$root/build/linux-release/bin/tolvex
status=0
for job in backup.job two-way.job; do
  echo "== tolvex $job"
  # No questions: the jobs ask none, and a space warning would stop the run.
  "$tolvex" "$example/$job" < /dev/null || status=$?
  if [[ $status -ne 0 ]]; then
    echo "run-example: tolvex $job ended with exit status $status" >&2
    exit "$status"
  fi
done

echo "== The log, $example/tolvex.log"
tr -d '\r' < "$example/tolvex.log"
