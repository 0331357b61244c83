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
