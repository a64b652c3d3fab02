#!/usr/bin/env bash
# Makes the example data for the example jobs in a fresh folder:
#   examples/make-example.sh FOLDER
# FOLDER/source     the files to back up: nested folders, an excluded cache
#                   folder, an empty file, a file new since the last backup
# FOLDER/backup     an earlier backup: an older copy, a newer copy, an equal
#                   copy and a file since removed from the source
# FOLDER/laptop     three generations (Grandson, Son, Father) of a two-way
#                   copy; the rotation of two-way.job brings Father back
# and the two jobs beside them. Everything is dated in the past, so that the
# run's own new files are always newer.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1"
root=$(cd "$1" && pwd)
rm -rf "${root:?}/source" "${root:?}/backup" "${root:?}/laptop" "$root"/*.log "$root"/*.state

# put FILE DATE TEXT: writes a file and dates it.
put() {
  mkdir -p "$(dirname "$root/$1")"
  printf '%s' "$3" > "$root/$1"
  touch -d "$2" "$root/$1"
}

# The source tree.
put source/readme.txt          "2026-03-02 09:00:00" "Project notes, second edition."
put source/notes/2026/january.txt  "2026-01-31 18:00:00" "January: planning."
put source/notes/2026/february.txt "2026-02-28 18:00:00" "February: building."
put source/photos/holiday.jpg  "2025-08-15 12:00:00" "JPEG holiday picture, first cut"
put source/new-in-source.txt   "2026-03-01 10:00:00" "Written after the last backup."
put source/empty.txt           "2026-02-01 08:00:00" ""
put source/cache/thumbnails.bin "2026-03-02 09:30:00" "cache, never backed up"

# The earlier backup (PathMode 2: the source tree below backup/).
put backup/readme.txt          "2026-02-01 09:00:00" "Project notes."
put backup/notes/2026/february.txt "2026-02-28 18:00:00" "February: building."
put backup/photos/holiday.jpg  "2025-09-01 12:00:00" "JPEG holiday picture, retouched in the backup"
put backup/removed.txt         "2026-01-15 10:00:00" "Removed from the source since."

# Generations of the laptop copy. Father is the oldest and becomes the new
# Grandson when two-way.job rotates them.
put laptop/Grandson/readme.txt "2026-03-02 09:00:00" "Project notes, second edition."
put laptop/Son/readme.txt      "2026-02-01 09:00:00" "Project notes."
put laptop/Father/readme.txt   "2026-03-05 21:00:00" "Project notes, edited on the laptop."
put laptop/Father/notes/2026/january.txt "2026-01-10 18:00:00" "January: first ideas."
put laptop/Father/todo.txt     "2026-03-04 20:00:00" "Only on the laptop."

cp "$here/backup.job" "$here/two-way.job" "$root/"
echo "Example data in $root"
