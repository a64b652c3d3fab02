#!/usr/bin/env bash
# Runs one cross-built Windows test binary (x86_64, or i686 where 32-bit Wine
# is installed) under Wine and returns its exit code.
#   scripts/wine-test.sh BINARY [ARGS...]
#
# - The Wine prefix is private to the binary's build folder
#   (<build>/wine-prefix, or $TOLVEX_WINEPREFIX) and is created on first use,
#   and again when the installed Wine changed; a lock keeps parallel first
#   runs from racing.
# - The test drives S: to W: are linked in the prefix's dosdevices to fresh
#   empty folders for this run and removed afterwards. The letters are shared
#   by every run in the prefix, so runs take turns (the same lock).
# - Wine needs an X display for windows and dialogs: the caller's DISPLAY, or
#   else one from xvfb-run. Windows open in a virtual desktop of 1024x768
#   that Wine draws itself (captions and frames as on Windows).
# - A crash ends the run with a failure status (no crash debugger), and a
#   binary still running after $TOLVEX_WINE_TIMEOUT seconds (600) is stopped.
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 BINARY [ARGS...]" >&2
  exit 2
fi
binary=$(realpath "$1")
shift

if [[ -z ${DISPLAY:-} ]]; then
  export TOLVEX_WINE_OWN_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$binary" "$@"
fi

build_dir=$(dirname "$binary")
while [[ ! -f $build_dir/CMakeCache.txt && $build_dir != / ]]; do
  build_dir=$(dirname "$build_dir")
done
[[ -f $build_dir/CMakeCache.txt ]] || build_dir=$(dirname "$binary")

export WINEPREFIX=${TOLVEX_WINEPREFIX:-$build_dir/wine-prefix}
export WINEDEBUG=-all
# No Mono or Gecko install prompts; no crash debugger, which would wait for
# ever: a crashing binary ends with a failure status instead.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# Held for the whole run. Every Wine process below gets the descriptor closed
# (9>&-): the wineserver outlives its clients and would otherwise keep the
# lock for seconds after the run.
exec 9> "$WINEPREFIX.lock"
flock 9

# A prefix records the Wine it was made for (.tolvex-wine) and is made again
# when that changed: one made before 32-bit Wine was installed stops working
# once it is ("could not load kernel32.dll", for 64-bit programs too), while
# one made with it runs 32-bit and 64-bit programs alike.
wine_made_for() {
  local bits=64
  # Debian's 32-bit loader (package wine32:i386); elsewhere Wine's own.
  if [[ -x /usr/lib/wine/wine ]] || { [[ ! -e /usr/lib/wine/wine64 ]] && command -v wine > /dev/null; }; then
    bits="32 and 64"
  fi
  echo "$(wine --version 2> /dev/null 9>&-), $bits-bit"
}
made_for=$(wine_made_for)
if [[ ! -f $WINEPREFIX/.tolvex-wine || $(cat "$WINEPREFIX/.tolvex-wine") != "$made_for" ]]; then
  if [[ -d $WINEPREFIX ]]; then
    echo "wine-test: the Wine prefix $WINEPREFIX was made for another Wine" \
         "($(cat "$WINEPREFIX/.tolvex-wine" 2> /dev/null || echo unknown)); making it again" >&2
    wineserver -k 9>&- 2> /dev/null || true
    chmod -R u+w "$WINEPREFIX" 2> /dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  echo "wine-test: creating the Wine prefix $WINEPREFIX for $made_for" >&2
  wine wineboot -i > /dev/null 2>&1 9>&-
  wineserver -w 9>&-
  echo "$made_for" > "$WINEPREFIX/.tolvex-wine"
fi
if [[ ! -f $WINEPREFIX/.tolvex-desktop ]]; then
  # Every window opens inside one virtual desktop that Wine draws itself:
  # dialogs get their captions and frames without a window manager, and
  # Wine does not wait (2 s for each window it hides) for a manager that
  # never answers.
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
    > /dev/null 2>&1 9>&-
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1 9>&-
  wineserver -w 9>&-
  touch "$WINEPREFIX/.tolvex-desktop"
fi

letters=(s t u v w)
drives=$(mktemp -d "${TMPDIR:-/tmp}/tolvex-wine-drives.XXXXXX")
remove_drives() {
  local letter
  for letter in "${letters[@]}"; do
    local link=$WINEPREFIX/dosdevices/$letter:
    if [[ -L $link && $(readlink "$link") == "$drives"/* ]]; then rm -f "$link"; fi
  done
  # Tests leave read-only files and folders behind.
  chmod -R u+w "$drives" 2> /dev/null || true
  rm -rf "$drives"
}
trap remove_drives EXIT
for letter in "${letters[@]}"; do
  mkdir "$drives/$letter"
  ln -sfn "$drives/$letter" "$WINEPREFIX/dosdevices/$letter:"
done

# A binary that hangs is stopped here, before ctest's own timeout, so that
# the drives are still cleaned up.
limit=${TOLVEX_WINE_TIMEOUT:-600}
status=0
timeout --kill-after=10 "$limit" wine "$binary" "$@" 9>&- || status=$?
if [[ $status -eq 124 || $status -eq 137 ]]; then
  echo "wine-test: $(basename "$binary") ran longer than ${limit}s and was stopped" >&2
  wineserver -k 9>&- || true
fi
if [[ -n ${TOLVEX_WINE_OWN_DISPLAY:-} ]]; then
  # The display goes away with this script: end Wine's lingering processes
  # first, so that they do not complain about the lost connection.
  wineserver -k 9>&- || true
fi
exit "$status"
