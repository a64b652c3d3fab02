#!/usr/bin/env bash
# Checks the export tables of the built engine libraries against the export
# table include/tolvex32_exports.h (ordinal, name, argument bytes, result,
# parameters; ordinals 1-45 the configuration exports and CallUpdate, the
# extension from 46 on):
#   - the 32-bit tolvex32.dll (the shipping build): exactly those names under
#     those ordinals, undecorated, and only system DLLs imported (the C++
#     runtime is linked in statically);
#   - the 64-bit tolvex32.dll: the same names and ordinals, system imports;
#   - libtolvex32.so: every name exported plainly, and nothing else.
# Usage: scripts/check-exports.sh [BUILD_ROOT]   (default: build/)
# Exit status 0 when every check passes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-$root/build}
table=$root/include/tolvex32_exports.h
i686_dll=${TOLVEX_I686_DLL:-$build_root/mingw-i686/bin/tolvex32.dll}
x64_dll=${TOLVEX_X64_DLL:-$build_root/mingw-x64/bin/tolvex32.dll}
linux_so=${TOLVEX_LINUX_SO:-$build_root/linux-release/bin/libtolvex32.so}

# The DLLs every Windows installation carries; anything else beside the
# library (libstdc++-6.dll, libgcc_s_*.dll, libwinpthread-1.dll) is refused.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|shlwapi|advapi32|msvcrt|ntdll|ole32|oleaut32|uxtheme|version|winmm)\.dll$|^api-ms-win-'

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# "ordinal name" per export, sorted by ordinal.
sed -nE 's/^TOLVEX_EXPORT_ROW\(([0-9]+), ([A-Za-z0-9]+),.*/\1 \2/p' "$table" | sort -n > "$tmp/expected"
expected_count=$(wc -l < "$tmp/expected")
if [[ $expected_count -eq 0 ]]; then
  fail "no exports listed in $table"
  exit 1
fi
# Ordinals 1-45 are the configuration exports and CallUpdate and never
# change: CallUpdate is the 45th, and whatever the library adds comes after
# it, in rising order (an extension ordinal may stay free).
if [[ $(sed -n '45p' "$tmp/expected") != "45 CallUpdate" ]] ||
   [[ $(awk '{ print $1 }' "$tmp/expected" | head -45 | tr '\n' ' ') != "$(seq -s ' ' 1 45) " ]] ||
   ! awk '{ if (NR > 1 && $1 <= last) exit 1; last = $1 }' "$tmp/expected"; then
  fail "$table: ordinals 1 to 45 must be the configuration exports, CallUpdate the 45th, then 46 on in rising order"
fi
# The export address table has a slot for each ordinal up to the highest.
highest_ordinal=$(tail -1 "$tmp/expected" | awk '{ print $1 }')

# Reads `objdump -p` of a PE file; writes "ordinal name" lines, the export
# address table size and the imported DLLs.
read_pe() {
  local dump=$1 out=$2
  awk -v names="$out.names" -v count="$out.count" -v dllname="$out.dllname" '
    /^Ordinal Base/ { base = $3 }
    /^Name[ \t]/ && !seen_name { print $3 > dllname; seen_name = 1 }
    /^\tExport Address Table[ \t]+[0-9a-fA-F]+$/ && !seen_count { print $4 > count; seen_count = 1 }
    /^\[Ordinal\/Name Pointer\] Table/ { in_names = 1; next }
    in_names && /^$/ { in_names = 0 }
    in_names {
      line = $0; sub(/^[ \t]*\[ */, "", line)
      index_text = line; sub(/\].*/, "", index_text)
      name = line; sub(/^[0-9]+\][ \t]*/, "", name)
      print index_text + base, name > names
    }
  ' "$dump"
  touch "$out.names" "$out.count" "$out.dllname"
  sort -n -o "$out.names" "$out.names"
  grep -E '^[[:space:]]*DLL Name:' "$dump" | awk '{ print $3 }' > "$out.imports" || true
}

check_pe() {
  local label=$1 dll=$2 objdump=$3
  if [[ ! -f $dll ]]; then
    fail "$label: $dll is missing (build it first)"
    return
  fi
  local out=$tmp/$label
  "$objdump" -p "$dll" > "$out.dump"
  read_pe "$out.dump" "$out"

  if [[ $(cat "$out.dllname") != tolvex32.dll ]]; then
    fail "$label: the export table names the library '$(cat "$out.dllname")'"
  fi
  if grep -qE '@|^[0-9]+ _' "$out.names"; then
    fail "$label: decorated export names:"
    grep -E '@|^[0-9]+ _' "$out.names" | sed 's/^/      /' >&2
  fi
  if diff -u "$tmp/expected" "$out.names" > "$out.diff"; then
    pass "$label: $expected_count exports, names and ordinals as in the export table"
  else
    fail "$label: exports differ from the export table (- expected, + built):"
    tail -n +3 "$out.diff" | grep '^[-+]' | sed 's/^/      /' >&2
  fi
  local count_hex count
  count_hex=$(cat "$out.count")
  count=$((16#${count_hex:-0}))
  if [[ $count -ne $highest_ordinal ]]; then
    fail "$label: the export address table holds $count entries, not $highest_ordinal"
  fi

  local foreign
  foreign=$(grep -viE "$system_dlls" "$out.imports" || true)
  if [[ -n $foreign ]]; then
    fail "$label: imports DLLs that are not part of Windows: $(echo $foreign)"
  else
    pass "$label: imports only system DLLs ($(echo $(cat "$out.imports")))"
  fi
}

check_so() {
  local so=$1
  if [[ ! -f $so ]]; then
    fail "linux: $so is missing (build it first)"
    return
  fi
  nm -D --defined-only "$so" > "$tmp/so.symbols"
  awk '$2 == "T" { print $3 }' "$tmp/so.symbols" | sort > "$tmp/so.functions"
  awk '{ print $2 }' "$tmp/expected" | sort > "$tmp/expected.names"
  local missing
  missing=$(comm -23 "$tmp/expected.names" "$tmp/so.functions")
  if [[ -n $missing ]]; then
    fail "linux: not exported as plain functions: $(echo $missing)"
  else
    pass "linux: all $expected_count exports present under plain names"
  fi
  # The build's version script lets nothing else out: no engine symbol and
  # no C++ runtime template instance.
  local others
  others=$(awk '{ print $NF }' "$tmp/so.symbols" | sort -u | comm -23 - "$tmp/expected.names" |
    grep -vE '^(_init|_fini|_edata|_end|__bss_start)$' || true)
  if [[ -n $others ]]; then
    fail "linux: exports symbols beyond the table:"
    echo "$others" | head -n 20 | sed 's/^/      /' >&2
  else
    pass "linux: nothing else exported"
  fi
  local unresolved
  unresolved=$(nm -D --undefined-only "$so" | awk '{ print $NF }' | grep -E '^_ZN6tolvex|^_ZNK6tolvex' || true)
  if [[ -n $unresolved ]]; then
    fail "linux: the library needs engine symbols it does not define: $(echo $unresolved)"
  fi
}

check_pe i686 "$i686_dll" i686-w64-mingw32-objdump
check_pe x86_64 "$x64_dll" x86_64-w64-mingw32-objdump
check_so "$linux_so"

if [[ $failures -gt 0 ]]; then
  echo "check-exports: $failures check(s) failed" >&2
  exit 1
fi
echo "check-exports: all checks passed"
