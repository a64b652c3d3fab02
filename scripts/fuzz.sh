#!/usr/bin/env bash
# Runs the libFuzzer targets of fuzz/, one after another, each for a bounded
# time:
#
#   scripts/fuzz.sh [--fresh] [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 300; TARGET is job_file, selections,
# export_sequence or log_text (default: all four). The targets are built
# first (preset linux-debug: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer). Each starts from its seed corpus in
# fuzz/corpus/TARGET/ and from what earlier runs found in
# build/fuzz/TARGET/corpus/, where new inputs go (--fresh empties it first:
# CI runs that way, so that its time does not grow with the corpus).
#
# A crash, a sanitizer report or a broken invariant stops that target; its
# input is kept as build/fuzz/TARGET/crash-* (or timeout-*, oom-*) and the
# script prints how to run it again. Each such input becomes a test beside
# the code it concerns and joins the seed corpus. Prints one line per target
# (executions, seconds, executions per second, corpus size); the output of
# each run is in build/fuzz/TARGET/fuzz.log. Exit status 0 only when no
# target failed.
set -uo pipefail

cd "$(dirname "$0")/.."
fresh=0
if [[ ${1:-} == --fresh ]]; then
  fresh=1
  shift
fi
seconds=${1:-300}
shift || true
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then targets=(job_file selections export_sequence log_text); fi
if ! [[ $seconds =~ ^[0-9]+$ ]] || [[ $seconds -eq 0 ]]; then
  echo "usage: scripts/fuzz.sh [--fresh] [SECONDS_PER_TARGET] [TARGET...]" >&2
  exit 2
fi

# The longest input each target is given: job files with very long lines,
# paths far beyond the 259-character limit.
declare -A max_len=([job_file]=16384 [selections]=4096 [export_sequence]=4096 [log_text]=4096)

build=build/linux-debug
# The folder may hold a configuration of another compiler (the preset was
# GCC before): that one cannot be reconfigured in place.
{ cmake --preset linux-debug > /dev/null 2>&1 || cmake --preset linux-debug --fresh > /dev/null; } &&
  cmake --build --preset linux-debug -j "${TOLVEX_JOBS:-2}" --target fuzz_targets > /dev/null ||
  { echo "fuzz: the build of the fuzz targets failed" >&2; exit 1; }

# Each run gets its own folder for the sandboxes (in memory where there is
# one); a target that crashed leaves its sandbox there, and it goes with it.
shm=/tmp
[[ -w /dev/shm ]] && shm=/dev/shm
sandboxes=$(mktemp -d "$shm/tolvex-fuzz-run.XXXXXX")
trap 'rm -rf "$sandboxes"' EXIT

failed=0
printf '%-16s %-8s %11s %8s %8s %7s\n' target result executions seconds 'exec/s' corpus
for target in "${targets[@]}"; do
  binary=$build/fuzz/fuzz_$target
  seeds=fuzz/corpus/$target
  work=build/fuzz/$target
  if [[ ! -x $binary || ! -d $seeds ]]; then
    echo "fuzz: no target $target" >&2
    failed=1
    continue
  fi
  [[ $fresh -eq 1 ]] && rm -rf "$work/corpus"
  mkdir -p "$work/corpus"
  options=(-max_total_time="$seconds" -max_len="${max_len[$target]:-4096}" -timeout=25
           -print_final_stats=1 -artifact_prefix="$work/")
  [[ -f fuzz/$target.dict ]] && options+=(-dict="fuzz/$target.dict")
  start=$(date +%s.%N)
  TOLVEX_FUZZ_TMPDIR=$sandboxes "$binary" "${options[@]}" "$work/corpus" "$seeds" \
    > "$work/fuzz.log" 2>&1
  status=$?
  elapsed=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$work/fuzz.log" | tail -n 1)
  rate=$(awk -v r="${runs:-0}" -v t="$elapsed" 'BEGIN { printf "%d", (t > 0 ? r / t : 0) }')
  corpus=$(find "$work/corpus" "$seeds" -type f | wc -l)
  result=ok
  if [[ $status -ne 0 ]]; then
    result=FAILED
    failed=1
  fi
  printf '%-16s %-8s %11s %8s %8s %7s\n' "$target" "$result" "${runs:-?}" "$elapsed" "$rate" "$corpus"
  if [[ $status -ne 0 ]]; then
    grep -a -E 'fuzz invariant violated|ERROR: |SUMMARY: ' "$work/fuzz.log" | head -n 5 | cut -c 1-600
    input=$(grep -a -o 'Test unit written to [^ ]*' "$work/fuzz.log" | tail -n 1 | awk '{ print $NF }')
    if [[ -n $input ]]; then
      echo "  input: $input"
      echo "  again: $binary $input   (TOLVEX_FUZZ_VERBOSE=1 shows each job and its log)"
    fi
  fi
done
exit "$failed"
