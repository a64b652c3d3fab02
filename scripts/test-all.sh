#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   1. installs what the machine lacks (scripts/install-deps.sh; 32-bit Wine
#      where the kernel starts 32-bit programs)
#   2. linux-release: build, native test suite, the install and the Debian
#      package (scripts/test-install.sh)
#   3. linux-debug (clang): build and test suite under AddressSanitizer and
#      UndefinedBehaviorSanitizer; then the libFuzzer targets of the same
#      build, 15 seconds each from their seed corpus (scripts/fuzz.sh)
#   4. linux-i686: build for 32-bit Linux (32-bit size_t, long and
#      pointers, as in the shipping DLL), the native test suite; the
#      programs run directly where the kernel starts 32-bit programs, under
#      user-mode emulation where it cannot
#   5. mingw-x64: build, the Windows test suite under Wine on a virtual X
#      display, one test binary after another
#   6. mingw-i686: build the shipping DLL with its tests, collect the Windows
#      artifacts, check the export tables, and run the same Windows suite
#      under 32-bit Wine (with the plain C caller's stack check); where the
#      kernel cannot start 32-bit programs the summary says "not run"
# Every stage runs even when an earlier one failed (a stage whose build
# failed is skipped); the summary lists each stage's result and time and the
# ctest results summed over all stages. Exit status 0 only when all passed
# (a stage this machine cannot run is listed as not run, not as passed).
# Logs: build/test-all/<stage>.log. TOLVEX_JOBS sets the build jobs (2).
# The compiler cache is shared with every other clone on the machine: paths
# are hashed relative to the repository root (CCACHE_BASEDIR) and without
# the working folder (CCACHE_NOHASHDIR), so that a fresh clone elsewhere
# finds the objects another one compiled.
set -uo pipefail

cd "$(dirname "$0")/.."
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
jobs=${TOLVEX_JOBS:-2}
logs=build/test-all
mkdir -p "$logs"

stage_names=()
stage_results=()
stage_times=()
tests_passed=0
tests_failed=0
tests_skipped=0
any_failure=0
xvfb_pid=
display=

record() {  # name result seconds
  stage_names+=("$1")
  stage_results+=("$2")
  stage_times+=("$3")
  [[ $2 == ok || $2 == "not run:"* ]] || any_failure=1
}

# run_stage NAME show|quiet COMMAND...: runs the command, its output in
# build/test-all/NAME.log (and on the terminal with "show"; the log's tail
# only on failure with "quiet"). Returns the command's status.
run_stage() {
  local name=$1 mode=$2
  shift 2
  local log=$logs/$name.log start=$SECONDS status
  echo "==> $name"
  if [[ $mode == show ]]; then
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
  else
    "$@" > "$log" 2>&1
    status=$?
    if [[ $status -ne 0 ]]; then tail -n 60 "$log"; fi
  fi
  record "$name" "$([[ $status -eq 0 ]] && echo ok || echo FAILED)" $((SECONDS - start))
  return "$status"
}

skip_stage() {
  echo "==> $1: skipped ($2)"
  record "$1" skipped 0
}

# A stage this machine cannot run at all: neither passed nor failed.
not_run_stage() {
  echo "==> $1: not run: $2"
  record "$1" "not run: $2" 0
}

# Adds a ctest log's "N tests failed out of M" to the totals; skipped tests
# (ctest counts them among the passed) are counted apart.
count_tests() {
  local log=$logs/$1.log line failed total skipped
  line=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z $line ]]; then return; fi
  failed=$(awk '{ print $1 }' <<< "$line")
  total=$(awk '{ print $NF }' <<< "$line")
  skipped=$(grep -c '(Skipped)$' "$log")
  tests_failed=$((tests_failed + failed))
  tests_skipped=$((tests_skipped + skipped))
  tests_passed=$((tests_passed + total - failed - skipped))
}

# A folder configured with another compiler (linux-debug was GCC before it
# moved to clang) cannot be reconfigured in place: then afresh.
build_preset() {
  { cmake --preset "$1" || cmake --preset "$1" --fresh; } && cmake --build --preset "$1" -j "$jobs"
}

test_preset() {  # preset stage [ctest args...]
  local preset=$1 stage=$2
  shift 2
  run_stage "$stage" show ctest --preset "$preset" "$@"
  count_tests "$stage"
}

start_xvfb() {
  local n i
  for n in $(seq 91 199); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > "$logs/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for i in $(seq 100); do
      if xdpyinfo -display ":$n" > /dev/null 2>&1; then
        display=:$n
        return 0
      fi
      kill -0 "$xvfb_pid" 2> /dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2> /dev/null
    wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=
  done
  return 1
}

# Both Windows suites share one Wine prefix (one made with 32-bit Wine runs
# 64-bit programs too): it is made once per clone, not once per build.
export TOLVEX_WINEPREFIX=$PWD/build/wine-prefix

stop_xvfb() {
  [[ -n $xvfb_pid ]] || return 0
  # Wine's lingering processes go first, so they do not lose their display.
  WINEPREFIX=$TOLVEX_WINEPREFIX wineserver -k 2> /dev/null || true
  kill "$xvfb_pid" 2> /dev/null
  wait "$xvfb_pid" 2> /dev/null
  xvfb_pid=
}
trap stop_xvfb EXIT

wine_suite() {  # preset
  # Runs in a pipeline's subshell: its own trap stops the display.
  trap stop_xvfb EXIT
  if ! start_xvfb; then
    echo "cannot start Xvfb" >&2
    return 1
  fi
  echo "virtual display $display"
  DISPLAY=$display ctest --preset "$1" -j1
  local status=$?
  stop_xvfb
  return "$status"
}

total_start=$SECONDS

run_stage install-deps quiet scripts/install-deps.sh

if run_stage build-linux-release quiet build_preset linux-release; then
  test_preset linux-release test-native -j "$jobs"
  run_stage install show scripts/test-install.sh build/linux-release
else
  skip_stage test-native "build failed"
  skip_stage install "build failed"
fi

if run_stage build-linux-debug quiet build_preset linux-debug; then
  test_preset linux-debug test-sanitizers -j "$jobs"
  run_stage fuzz show scripts/fuzz.sh --fresh 15
else
  skip_stage test-sanitizers "build failed"
  skip_stage fuzz "build failed"
fi

if run_stage build-linux-i686 quiet build_preset linux-i686; then
  test_preset linux-i686 test-i686 -j "$jobs"
else
  skip_stage test-i686 "build failed"
fi

if run_stage build-mingw-x64 quiet build_preset mingw-x64; then
  run_stage test-wine show wine_suite mingw-x64
  count_tests test-wine
else
  skip_stage test-wine "build failed"
fi

# The shipping DLL: its artifacts and export table, then its tests under
# 32-bit Wine where this kernel can start 32-bit programs.
if run_stage build-mingw-i686 quiet build_preset mingw-i686; then
  run_stage windows-dist show scripts/package-windows.sh
  run_stage check-exports show scripts/check-exports.sh
  if ! scripts/kernel-runs-i686.sh; then
    not_run_stage test-wine-i686 "this kernel cannot start 32-bit programs"
  else
    run_stage test-wine-i686 show wine_suite mingw-i686
    count_tests test-wine-i686
  fi
else
  skip_stage windows-dist "build failed"
  run_stage check-exports show scripts/check-exports.sh
  skip_stage test-wine-i686 "build failed"
fi

echo
echo "==== Summary ===="
for i in "${!stage_names[@]}"; do
  printf '%-22s %5ss  %s\n' "${stage_names[$i]}" "${stage_times[$i]}" "${stage_results[$i]}"
done
printf '%-22s %5ss\n' total $((SECONDS - total_start))
if [[ $tests_skipped -gt 0 ]]; then echo "($tests_skipped skipped)"; fi
echo "$tests_passed passed, $tests_failed failed"
exit "$any_failure"
