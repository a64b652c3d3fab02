#!/usr/bin/env bash
# The layer check (scripts/check-layers.sh) over small trees that each hold
# one leak it must refuse, and one tree whose includes all point down; then
# over the repository itself, which it must pass.
# Each case: its name, the expected line of the check (empty: it passes),
# then the files as "path:include" pairs (the include a whole line).
set -uo pipefail

repository=$(cd "$(dirname "$0")/.." && pwd)
check=$repository/scripts/check-layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# run_case NAME EXPECTED FILE:LINE...
run_case() {
  local name=$1 expected=$2
  shift 2
  local tree=$work/$name
  mkdir -p "$tree"
  for entry in "$@"; do
    local path=${entry%%:*} line=${entry#*:}
    mkdir -p "$tree/$(dirname "$path")"
    printf '%s\n' "$line" >> "$tree/$path"
  done
  local output status
  output=$("$check" "$tree" 2>&1)
  status=$?
  if [[ -z $expected ]]; then
    if [[ $status -ne 0 ]]; then
      echo "FAIL $name: the check refused a tree whose includes point down:"
      echo "$output"
      failures=$((failures + 1))
    fi
  elif [[ $status -eq 0 || $output != *"$expected"* ]]; then
    echo "FAIL $name: expected the check to fail with"
    echo "  $expected"
    echo "got (status $status):"
    echo "$output"
    failures=$((failures + 1))
  fi
}

run_case terminal_view_includes_posix_back_end \
  "ui/progress/terminal/views.cpp:1: ui/progress/terminal may not include platform/posix/posix_pump.h" \
  'platform/posix/posix_pump.h:#pragma once' \
  'ui/progress/terminal/views.cpp:#include "platform/posix/posix_pump.h"'

run_case overview_and_progress_terminal_views_in_a_cycle \
  "ui/overview/terminal/overview.cpp:1: ui/overview/terminal may not include ui/progress/terminal/session.h" \
  'ui/progress/terminal/session.h:#pragma once' \
  'ui/progress/terminal/run_ui.cpp:#include "ui/overview/terminal/overview.h"' \
  'ui/overview/terminal/overview.h:#pragma once' \
  'ui/overview/terminal/overview.cpp:#include "ui/progress/terminal/session.h"'

run_case windows_h_in_a_win32_view_header \
  "ui/win32/dialog_window.h:2: a header outside the Win32 back end may not include <windows.h>" \
  'ui/win32/dialog_window.h:#pragma once' \
  'ui/win32/dialog_window.h:#include <windows.h>'

run_case windows_h_in_a_toolkit_free_header \
  "ui/overview/row_layout.h:1: a header outside the Win32 back end may not include <windows.h>" \
  'ui/overview/row_layout.h:#include <windows.h>'

run_case win32_view_includes_terminal_view \
  "ui/overview/win32/dialog.cpp:1: ui/overview/win32 may not include ui/terminal/session.h" \
  'ui/terminal/session.h:#pragma once' \
  'ui/overview/win32/dialog.cpp:#include "ui/terminal/session.h"'

run_case engine_includes_win32_back_end \
  "engine/run.cpp:1: engine may not include platform/win32/win32_path.h" \
  'platform/win32/win32_path.h:#include <windows.h>' \
  'engine/run.cpp:#include "platform/win32/win32_path.h"'

run_case model_includes_scan \
  "model/plan.h:1: model may not include scan/decide.h" \
  'scan/decide.h:#pragma once' \
  'model/plan.h:#include "scan/decide.h"'

run_case includes_that_point_down "" \
  'platform/win32/win32_platform.h:#include <windows.h>' \
  'platform/posix/posix_pump.h:#include "platform/terminal_keys.h"' \
  'ui/win32/dialog_window.h:#include "ui/win32/window_types.h"' \
  'ui/win32/dialog_window.cpp:#include <windows.h>' \
  'ui/overview/win32/dialog.cpp:#include "ui/overview/row_layout.h"' \
  'ui/progress/terminal/run_ui.cpp:#include "ui/overview/terminal/overview.h"' \
  'ui/progress/terminal/views.cpp:#include "ui/terminal/session.h"' \
  'ui/progress/terminal/views.cpp:#include "platform/terminal_keys.h"' \
  'frontend/drive_map.cpp:#include "platform/posix/mount_points.h"' \
  'library/run_views.cpp:#include "ui/progress/win32/win32_run_ui.h"'

if ! output=$("$check" 2>&1); then
  echo "FAIL the repository breaks the layer rules:"
  echo "$output"
  failures=$((failures + 1))
fi

if [[ $failures -ne 0 ]]; then
  echo "check_layers_test: $failures case(s) failed"
  exit 1
fi
echo "check_layers_test: every leak refused, the repository passes"
