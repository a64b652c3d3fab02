#!/usr/bin/env bash
# Collects what a Windows caller needs into one folder (default
# build/windows-dist): the shipping 32-bit tolvex32.dll and tolvex.exe of
# the mingw-i686 build, the public header, and tolvex32.def listing every
# export with its ordinal and its stdcall argument size (what an import
# library is made from: "lib /def:tolvex32.def /machine:x86", or
# "i686-w64-mingw32-dlltool -d tolvex32.def -k -l libtolvex32.a").
# Builds the mingw-i686 preset first when its artifacts are missing.
set -euo pipefail

cd "$(dirname "$0")/.."
out=${1:-build/windows-dist}
build=build/mingw-i686
if [[ ! -f $build/bin/tolvex32.dll || ! -f $build/bin/tolvex.exe ]]; then
  cmake --preset mingw-i686 > /dev/null
  cmake --build --preset mingw-i686 -j "${TOLVEX_JOBS:-2}"
fi

rm -rf "$out"
mkdir -p "$out"
cp "$build/bin/tolvex32.dll" "$build/bin/tolvex.exe" "$build/library/tolvex32.def" "$out/"
cp include/tolvex32.h "$out/"

# The folder is complete only when each piece is there and the .def names
# an export at each ordinal of the export table (include/tolvex32_exports.h):
# the first 45 and the extension from 46 on.
for file in tolvex32.dll tolvex.exe tolvex32.def tolvex32.h; do
  [[ -s $out/$file ]] || { echo "package-windows: $file is missing" >&2; exit 1; }
done
for ordinal in $(sed -nE 's/^TOLVEX_EXPORT_ROW\(([0-9]+),.*/\1/p' include/tolvex32_exports.h); do
  if ! grep -q "@[0-9]* @$ordinal\$" "$out/tolvex32.def"; then
    echo "package-windows: tolvex32.def has no export at ordinal $ordinal" >&2
    exit 1
  fi
done
echo "package-windows: $(ls "$out" | tr '\n' ' ')in $out"
