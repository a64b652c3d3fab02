#!/usr/bin/env bash
# Checks the install from a Linux build folder (default build/linux-release):
#   1. "cmake --install" into a fresh temporary prefix;
#   2. the installed command runs the installed example job on fresh example
#      data with no environment at all (it finds its library by its run path);
#   3. the daily run's systemd units and cron line name the installed
#      command, and "systemd-analyze verify" accepts the units (skipped, with
#      the reason printed, where systemd-analyze is missing);
#   4. "cpack" makes the Debian package, which is unpacked into another fresh
#      prefix and runs the same job the same way; its units name /usr/bin/tolvex.
# Prints what it checks; exit status 0 only when everything held.
set -euo pipefail

build=${1:-build/linux-release}
cd "$(dirname "$0")/.."
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvex-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

check() {  # description command...
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# run_example PREFIX NAME: makes example data with the installed script and
# runs the installed backup job with an empty environment.
run_example() {
  local prefix=$1 data=$work/$2-data examples
  examples=$(find "$prefix" -path '*/doc/tolvex/examples' -type d | head -n 1)
  [[ -n $examples ]] || { echo "no examples under $prefix"; return 1; }
  "$examples/make-example.sh" "$data" > /dev/null
  env -i "$prefix"/bin/tolvex "$data/backup.job" < /dev/null > "$work/$2.out" 2>&1 ||
    { cat "$work/$2.out"; return 1; }
  grep -q 'File copied: E:\\source\\readme.txt' "$data/tolvex.log" &&
    grep -q 'File erased: E:\\backup\\removed.txt' "$data/tolvex.log"
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log"
check "the command, library, header and manual pages are installed" \
  test -x "$prefix/bin/tolvex" -a -f "$prefix/lib/libtolvex32.so" \
       -a -f "$prefix/include/tolvex32.h" -a -f "$prefix/share/man/man1/tolvex.1" \
       -a -f "$prefix/share/man/man3/tolvex32.3"
check "the installed command runs the example job with no environment" \
  run_example "$prefix" installed

# units_name PREFIX COMMAND: the daily run's service and cron line under
# PREFIX start COMMAND.
units_name() {
  local examples=$1/share/doc/tolvex/examples command=$2
  grep -qx "ExecStart=$command %h/backup/backup.job" "$examples/tolvex-daily.service" &&
    grep -q "^30 2 \* \* \* $command " "$examples/crontab"
}
check "the daily run names the installed command" units_name "$prefix" "$prefix/bin/tolvex"
if command -v systemd-analyze > /dev/null; then
  check "systemd-analyze verify accepts the installed units" \
    bash -c "cd '$prefix/share/doc/tolvex/examples' &&
             systemd-analyze verify tolvex-daily.service tolvex-daily.timer"
else
  echo "skipped: systemd-analyze verify (systemd-analyze is not installed)"
fi

(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
package=$(ls -t "$build"/tolvex_*.deb | head -n 1)
check "cpack made $(basename "$package")" test -f "$package"
check "the package depends on the C++ runtime it links" \
  bash -c "dpkg-deb -f '$package' Depends | grep -q libstdc++"
dpkg-deb -x "$package" "$work/package"
check "the unpacked package runs the example job with no environment" \
  run_example "$work/package/usr" packaged
check "the package's daily run names /usr/bin/tolvex" units_name "$work/package/usr" /usr/bin/tolvex

if [[ $failures -ne 0 ]]; then
  echo "test-install: $failures check(s) failed"
  exit 1
fi
echo "test-install: all checks held"
