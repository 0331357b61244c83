#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test under Wine in a fresh prefix, with a
# private X server for the window tests. Extra arguments go to ctest.
set -euo pipefail
source "$(dirname "$0")/common.sh"
started=$(date +%s)

ensure_setup
build_project

use_fresh_prefix test
ensure_display
cleanup() {
  stop_wine
  stop_display
}
trap cleanup EXIT
start_wine

status=0
ctest --test-dir "$build_dir" --output-on-failure "$@" || status=$?
echo "test.sh: finished in $(( $(date +%s) - started )) s"
exit "$status"
