#!/usr/bin/env bash
# The long hostile-input campaign: bash scripts/fuzz.sh [CASES] [BASE_SEED]
# (10,000 cases and seed 7 unless given). Seeds are the test archives and the RAR fixtures;
# a case that crashes, hangs or writes outside its folder is kept in build/fuzz/found.
set -euo pipefail
source "$(dirname "$0")/common.sh"

cases="${1:-10000}"
base_seed="${2:-7}"
ensure_setup
build_project >/dev/null
use_runnable_flavour
use_prefix fuzz
trap 'stop_wine' EXIT
start_wine

fixtures_dir="${VARNIX_FIXTURES_DIR:-$(cd "$root/.." && pwd)/shared/fixtures/rar}"
data="$flavour_dir/testdata"
python3 "$root/tests/data/make_test_archives.py" "$data" "$sevenzip_package_dir/linux/x64/7zz" \
  "$fixtures_dir" >/dev/null
work="$flavour_dir/fuzz"
rm -rf "$work"
echo "fuzz: $cases cases on the $flavour program, base seed $base_seed"
"$wine" "$flavour_dir/tests/fuzz_driver.exe" "$cases" "$base_seed" "Z:$work" "Z:$data" "Z:$fixtures_dir"
