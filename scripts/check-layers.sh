#!/usr/bin/env bash
# Checks that every #include "folder/..." of the project's own code points
# down the layers (docs/architecture.md):
#
#   include < platform < model < scan, log < engine < ui < library
#
# resources/ (dialog templates and the ids they share with the views)
# includes nothing of the project's; the views and the library may include
# its id headers.
# scan and log are siblings and do not include each other; the front end
# includes only the public header and the platform layer. A unit's tests
# (and their *_support.h headers) may also include testing/. testing/,
# tests/, fuzz/ and bench/ sit outside the layers.
# Prints every include that points elsewhere; exit status 1 when there is one.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

declare -A allowed=(
  [include]="include"
  [resources]="resources"
  [platform]="include platform"
  [model]="include platform model"
  [scan]="include platform model scan"
  [log]="include platform model log"
  [engine]="include platform model scan log engine"
  [ui]="resources include platform model scan log engine ui"
  [library]="resources include platform model scan log engine ui library"
  [frontend]="include platform frontend"
)

faults=0
checked=0
for unit in "${!allowed[@]}"; do
  [[ -d $root/$unit ]] || continue
  while IFS= read -r -d '' file; do
    permitted=" ${allowed[$unit]} "
    [[ $file == *_test.cpp || $file == *_support.h ]] && permitted+="testing "
    while IFS=: read -r line target; do
      checked=$((checked + 1))
      folder=${target%%/*}
      if [[ $permitted != *" $folder "* ]]; then
        echo "${file#"$root"/}:$line: $unit may not include $target"
        faults=$((faults + 1))
      fi
    done < <(grep -n -o '^#include "[^"]*/[^"]*"' "$file" | sed -E 's/^([0-9]+):#include "([^"]*)"/\1:\2/')
  done < <(find "$root/$unit" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print0)
done

if [[ $faults -ne 0 ]]; then
  echo "check-layers: $faults include(s) point up or across the layers"
  exit 1
fi
echo "check-layers: $checked includes, all pointing down"
