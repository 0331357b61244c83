#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the program under Wine with the arguments
# given. Uses the display in DISPLAY, or a private virtual one when there is none. The
# program's registry and files live in build/wine/run (build/x64/wine/run for the 64-bit
# program), kept between runs. VARNIX_FLAVOUR=x64 starts the 64-bit program.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_setup
build_project >/dev/null

use_runnable_flavour
use_prefix run
ensure_display
trap 'stop_wine; stop_display' EXIT
start_wine

status=0
"$wine" "$flavour_dir/bin/VarnixFileOpener.exe" "$@" || status=$?
echo "run.sh: VarnixFileOpener.exe exited with $status"
exit "$status"
