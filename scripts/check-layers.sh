#!/usr/bin/env bash
# Checks that every #include "folder/.../file" of the project's own code
# points down the layers (docs/architecture.md):
#
#   include < platform < model < scan, log < engine < ui < library
#
# Each include is judged by the folder its file lies in, in full: a rule
# names the exact folders a folder's files may include from, so a sub-layer
# is no wider than its rule.
#   - platform/ is the seam; its back ends (platform/posix, platform/win32)
#     are included only by their own files and by the front end (a program
#     that links the platform layer itself). Everything above includes only
#     platform/'s own headers.
#   - ui/overview and ui/progress hold the toolkit-free presenters; the
#     Win32 views (*/win32) and the terminal views (*/terminal) build on
#     them and on what their toolkit's views share (ui/win32, ui/terminal),
#     never on the other toolkit's. The progress views' run UI opens the
#     overview, so ui/progress/* may include ui/overview/* of its toolkit;
#     never the other way round (no cycle between the two).
# resources/ (dialog templates and the ids they share with the views)
# includes nothing of the project's; the views and the library may include
# its id headers. scan and log are siblings and do not include each other.
# A unit's tests (and their *_support.h headers) may also include
# testing/. testing/, tests/, fuzz/ and bench/ sit outside the layers.
#
# <windows.h> and the other Windows API headers stay out of every header
# but the platform's Win32 back end: the views' headers declare the few
# Windows types they exchange (ui/win32/window_types.h), and their .cpp
# files include the API, so its macros (DeleteFile, CopyFile, min, max)
# never reach a file that includes a view.
#
# Usage: check-layers.sh [ROOT] (the repository by default; the tests run it
# over small trees that hold one leak each). Prints every include that
# breaks a rule; exit status 1 when there is one.
set -uo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
root=$(cd "$root" && pwd)

platform="include platform"
model="$platform model"
engine="$model scan log engine"
views="$engine resources"
declare -A allowed=(
  [include]="include"
  [resources]="resources"
  [platform]="$platform"
  [platform/posix]="$platform platform/posix"
  [platform/win32]="$platform platform/win32"
  [model]="$model"
  [scan]="$model scan"
  [log]="$model log"
  [engine]="$engine"
  [ui]="$views ui"
  [ui/overview]="$views ui/overview"
  [ui/progress]="$views ui/progress"
  [ui/terminal]="$views ui/terminal"
  [ui/win32]="$views ui/win32"
  [ui/overview/terminal]="$views ui/overview ui/terminal ui/overview/terminal"
  [ui/overview/win32]="$views ui/overview ui/win32 ui/overview/win32"
  [ui/progress/terminal]="$views ui/progress ui/terminal ui/progress/terminal ui/overview ui/overview/terminal"
  [ui/progress/win32]="$views ui/progress ui/win32 ui/progress/win32 ui/overview ui/overview/win32"
  [library]="$views ui ui/overview ui/progress ui/terminal ui/win32 ui/overview/terminal ui/overview/win32 ui/progress/terminal ui/progress/win32 library"
  [frontend]="$platform platform/posix platform/win32 frontend"
)
layers="include resources platform model scan log engine ui library frontend"

# The rule of `folder`: its own, else the nearest enclosing folder's.
rule_of() {
  local folder=$1
  while [[ -z ${allowed[$folder]+set} && $folder == */* ]]; do folder=${folder%/*}; done
  echo "$folder"
}

faults=0
checked=0
for unit in $layers; do
  [[ -d $root/$unit ]] || continue
  while IFS= read -r -d '' file; do
    relative=${file#"$root"/}
    folder=$(rule_of "${relative%/*}")
    permitted=" ${allowed[$folder]} "
    [[ $file == *_test.cpp || $file == *_support.h ]] && permitted+="testing "
    while IFS=: read -r line target; do
      checked=$((checked + 1))
      target_folder=${target%/*}
      if [[ $permitted != *" $target_folder "* ]]; then
        echo "$relative:$line: $folder may not include $target"
        faults=$((faults + 1))
      fi
    done < <(grep -n -o '^#include "[^"]*/[^"]*"' "$file" | sed -E 's/^([0-9]+):#include "([^"]*)"/\1:\2/')
    if [[ $file == *.h && $folder != platform/win32 ]]; then
      while IFS=: read -r line header; do
        echo "$relative:$line: a header outside the Win32 back end may not include $header"
        faults=$((faults + 1))
      done < <(grep -n -o -E '^#include <(windows|windowsx|commctrl|shellapi)\.h>' "$file" |
               sed -E 's/^([0-9]+):#include (.*)$/\1:\2/')
    fi
  done < <(find "$root/$unit" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print0)
done

if [[ $faults -ne 0 ]]; then
  echo "check-layers: $faults include(s) break the layer rules"
  exit 1
fi
echo "check-layers: $checked includes, all pointing down"
