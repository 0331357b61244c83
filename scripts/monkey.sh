#!/usr/bin/env bash
# The program used at random for longer than the test run does:
#   bash scripts/monkey.sh [SEEDS] [ACTIONS] [BASE_SEED]   (20 seeds of 300 actions from 1)
# Keys, clicks, toolbar commands and typed paths over good, damaged, hostile and huge
# archives, in a Wine prefix that sees only a sandbox folder. Each seed's actions are
# logged in the flavour's testdata/monkey/seed-N.log, to be replayed with that seed.
set -euo pipefail
source "$(dirname "$0")/common.sh"

seeds="${1:-20}"
actions="${2:-300}"
base_seed="${3:-1}"
ensure_setup
build_project >/dev/null
use_runnable_flavour
ensure_display
trap 'stop_wine; stop_display' EXIT
use_fresh_prefix monkey
start_wine
fixtures_dir="${VARNIX_FIXTURES_DIR:-$(cd "$root/.." && pwd)/shared/fixtures/rar}"
data="$flavour_dir/testdata"
python3 "$root/tests/data/make_test_archives.py" "$data" "$sevenzip_package_dir/linux/x64/7zz" \
  "$fixtures_dir" >/dev/null
python3 "$root/tests/e2e/monkey.py" "$wine" "$flavour_dir/bin/VarnixFileOpener.exe" \
  "$flavour_dir/tests/ui_probe.exe" "$data" --seeds "$seeds" --actions "$actions" \
  --base-seed "$base_seed"
