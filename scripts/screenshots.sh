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
# Room for the dialogs at 200 % scale.
export VARNIX_SCREEN=1920x1440x24
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
# start_program: the main window on the folder, in the prefix's own virtual desktop (where
# the probe finds it), once it shows its rows.
start_program() {
  "$wine" reg add 'HKCU\Software\Varnix FileOpener' /v last_path /t REG_SZ \
    /d "$("$wine" winepath -w "$folder")" /f >/dev/null 2>&1
  "$wine" "$flavour_dir/bin/VarnixFileOpener.exe" >/dev/null 2>&1 &
  for _ in $(seq 100); do
    probe state | grep -q '^count: [1-9]' && break
    sleep 0.2
  done
  sleep 1
}
start_program
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

# The main window at 100 %, 150 % and 200 % display scale (Wine's LogPixels, read as Wine
# starts), in disk mode and in archive mode: main-disk-144.png, main-archive-144.png and so
# on, the location bar dropped down in archive mode (main-locations-144.png), an entry's menu
# (main-menu-144.png) and the find box's rows (main-find-144.png). The window
# is placed at the same size in 100 % pixels each time, 620 x 440, so that the shots should
# look alike but for their sharpness.
set_dpi() { # set_dpi DPI: from the next start of Wine on
  local key
  for key in 'HKCU\Control Panel\Desktop' \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  done
}
for dpi in 96 144 192; do
  width=$((620 * dpi / 96))
  height=$((440 * dpi / 96))
  set_dpi "$dpi"
  # A WINDOWPLACEMENT of 44 bytes: shown normally, at (0, 0) with that size.
  placement=$(python3 -c "import struct, sys; w, h = map(int, sys.argv[1:]); \
print(struct.pack('<IIIiiiiiiii', 44, 0, 1, -1, -1, -1, -1, 0, 0, w, h).hex())" "$width" "$height")
  "$wine" reg add 'HKCU\Software\Varnix FileOpener' /v MAIN_WP /t REG_BINARY /d "$placement" \
    /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  start_wine
  start_program
  import -window root -crop "${width}x${height}+0+0" "$shots/main-disk-$dpi.png"
  open_row photos.zip
  sleep 2
  import -window root -crop "${width}x${height}+0+0" "$shots/main-archive-$dpi.png"
  drop_locations "main-locations-$dpi"
  # An entry's menu, and the find box with what it finds in the whole archive.
  read -r x y < <(row_centre top.txt)
  xdotool mousemove "$x" "$y" click 3
  sleep 1
  import -window root -crop "${width}x${height}+0+0" "$shots/main-menu-$dpi.png"
  xdotool key Escape
  sleep 0.5
  xdotool key ctrl+f
  xdotool type --delay 60 txt
  sleep 1
  import -window root -crop "${width}x${height}+0+0" "$shots/main-find-$dpi.png"
  xdotool key Escape
  probe close
  sleep 1
done
# The add dialog at each scale, for two files: add-96.png, add-144.png, add-192.png.
for dpi in 96 144 192; do
  set_dpi "$dpi"
  wineserver -k 2>/dev/null || true
  start_wine
  "$wine" explorer /desktop=shot,1900x1400 "$preview" add >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    xdotool search --name "^Varnix File Opener - Add\$" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1
  import -window root -crop 1900x1400+0+0 -trim "$shots/add-$dpi.png"
  kill "$pid" 2>/dev/null || true
done
set_dpi 96
echo "screenshots: $shots/add-96.png, add-144.png, add-192.png"
echo "screenshots: $shots/main-disk-96.png, main-archive-96.png, main-locations-96.png,"
echo "  main-menu-96.png, main-find-96.png, and the"
echo "  same at 144 and 192 DPI"
