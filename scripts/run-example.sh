#!/usr/bin/env bash
# Runs the example jobs end to end and prints their log:
#   scripts/run-example.sh
# Installs what the machine lacks (scripts/install-deps.sh, quick when all is
# there; where it cannot install, the build goes on with what is there),
# builds the tolvex command and the engine library without the tests (preset
# linux-release into build/example-release: the example needs no test
# framework and no test tools), makes fresh example data in build/example,
# runs the one-way backup (examples/backup.job) and then the two-way update
# with rotating generations (examples/two-way.job), and prints the log both
# wrote.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! scripts/install-deps.sh; then
  echo "run-example: scripts/install-deps.sh failed; building with the tools there are" >&2
fi

# The compiler cache, where there is one, then serves this build and the
# preset's own one alike.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
build=$root/build/example-release
echo "== Building tolvex and the engine library ($build)"
cmake --preset linux-release -B "$build" -DTOLVEX_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" --target tolvex tolvex32

example=$root/build/example
echo "== Making the example data in $example"
examples/make-example.sh "$example"

tolvex=$build/bin/tolvex
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
