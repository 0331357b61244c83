#!/usr/bin/env bash
# Shows the program's dialogs in a Wine desktop on a private X server and saves a
# screenshot of each into build/screenshots/.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_setup
build_project >/dev/null
use_runnable_flavour
use_prefix screenshots
unset DISPLAY
ensure_display
trap 'stop_wine; stop_display' EXIT
start_wine

shots="$build_dir/screenshots"
mkdir -p "$shots"

# shoot NAME TITLE COMMAND...: runs the command, waits for a window titled TITLE, saves it.
shoot() {
  local name="$1" title="$2"
  shift 2
  "$@" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 100); do
    xdotool search --name "^$title\$" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 0.5 # let the dialog draw itself
  import -window root -crop 640x400+320+312 "$shots/$name.png"
  kill "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  start_wine
  echo "screenshots: $shots/$name.png"
}

preview="$("$wine" winepath -w "$flavour_dir/tests/dialog_preview.exe")"
shoot progress "Extract Files" "$wine" explorer /desktop=shot,1280x1024 "$preview" progress
shoot password "Varnix File Opener" "$wine" explorer /desktop=shot,1280x1024 "$preview" password
shoot add "Varnix File Opener - Add" "$wine" explorer /desktop=shot,1280x1024 "$preview" add
shoot about "About" "$wine" explorer /desktop=shot,1280x1024 "$preview" about
shoot replace "Varnix File Opener" "$wine" explorer /desktop=shot,1280x1024 "$preview" replace
shoot replace-case "Varnix File Opener" "$wine" explorer /desktop=shot,1280x1024 "$preview" replace-case

# The main window on a folder with archives: disk mode, the toolbar, an archive row's menu,
# the Test messages, archive mode, the location bar dropped down, and toolbar tooltips.
folder="$build_dir/screenshots/folder"
rm -rf "$folder"
mkdir -p "$folder/Reports"
cp "$build_dir/testdata/nested.zip" "$folder/photos.zip"
cp "$build_dir/testdata/crc.zip" "$folder/backup.zip"
echo "quarterly figures" >"$folder/Reports/q3.txt"
echo "a note" >"$folder/note.txt"
probe() { "$wine" "$flavour_dir/tests/ui_probe.exe" "$@" 2>/dev/null | tr -d "\r"; }
row_centre() { # row_centre NAME: the screen point of the row's name
  local index
  index=$(probe state | grep '^row: ' | cut -d'|' -f1 | sed 's/^row: //' | grep -nx "$1" | cut -d: -f1)
  probe rects | grep '^rowrect: ' | sed -n "${index}p" | awk '{ print $2 + 40, int(($3 + $5) / 2) }'
}
"$wine" reg add 'HKCU\Software\Varnix FileOpener' /v last_path /t REG_SZ \
  /d "$("$wine" winepath -w "$folder")" /f >/dev/null 2>&1
# Started in the prefix's own virtual desktop, where the probe finds its window.
"$wine" "$flavour_dir/bin/VarnixFileOpener.exe" >/dev/null 2>&1 &
for _ in $(seq 100); do
  probe state | grep -q '^count: [1-9]' && break
  sleep 0.2
done
sleep 1
import -window root -crop 960x600+0+0 "$shots/disk-mode.png"
open_row() { # open_row NAME: a double-click on the row
  local x y
  read -r x y < <(row_centre "$1")
  xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
}
drop_locations() { # drop_locations SHOT: the location bar dropped down, saved, closed again
  local left top right bottom
  read -r left top right bottom < <(probe rects | grep '^location: ' | sed 's/^location: //')
  xdotool mousemove $((right - 8)) $(((top + bottom) / 2)) click 1
  sleep 1
  import -window root -crop 960x600+0+0 "$shots/$1.png"
  xdotool key Escape
  sleep 0.5
}
# message_shot SHOT: waits for the program's message box, saves the screen, presses OK.
message_shot() {
  for _ in $(seq 100); do
    probe dialog "Varnix File Opener" | grep -q '^dialog: yes' && break
    sleep 0.2
  done
  sleep 0.5
  import -window root -crop 1000x850+0+0 "$shots/$1.png" # a long message reaches far down
  probe press "Varnix File Opener" 1 >/dev/null
  sleep 0.5
}
# The toolbar's four buttons; the menu of an archive row; Test on a damaged archive.
import -window root -crop 480x120+0+0 "$shots/toolbar.png"
read -r x y < <(row_centre photos.zip)
xdotool mousemove "$x" "$y" click 3
sleep 1
import -window root -crop 960x600+0+0 "$shots/row-menu.png"
xdotool key Escape
sleep 0.5
read -r x y < <(row_centre backup.zip)
xdotool mousemove "$x" "$y" click 1
xdotool key alt+t
message_shot test-errors
open_row photos.zip
sleep 2
import -window root -crop 960x600+0+0 "$shots/archive-mode.png"
xdotool key alt+t
message_shot test-clean
drop_locations location-bar
# Inside a folder of the archive, every place has its icon.
open_row docs
sleep 1
drop_locations archive-folder
read -r left top right bottom < <(probe rects | grep '^button: ' | head -1 | sed 's/^button: //')
xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2))
sleep 2
import -window root -crop 480x200+0+0 "$shots/tooltip.png"
read -r left top right bottom < <(probe rects | grep '^button: ' | sed -n 4p | sed 's/^button: //')
xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2))
sleep 2
import -window root -crop 480x200+0+0 "$shots/tooltip-test.png"
probe close
sleep 1
echo "screenshots: $shots/disk-mode.png, toolbar.png, row-menu.png, test-errors.png, archive-mode.png,"
echo "  test-clean.png, location-bar.png, archive-folder.png, tooltip.png, tooltip-test.png"
