#!/usr/bin/env bash
# The long hostile-input campaign: bash scripts/fuzz.sh [CASES] [BASE_SEED]
# (10,000 cases and seed 7 unless given). Seeds are the test archives of every kind the
# program opens, the RAR fixtures, and sets of volumes (7z, split ZIP, spanned ZIP, RAR4,
# RAR5) with one volume damaged or missing. A case that crashes, hangs, writes outside its
# folder, or is said to be whole while the engine's own test finds it damaged is kept in
# the work folder's found\.
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
volume_fixtures_dir="$(dirname "$fixtures_dir")/rar-volumes"
"$wine" "$flavour_dir/tests/fuzz_driver.exe" "$cases" "$base_seed" "Z:$work" "Z:$data" \
  "Z:$data/formats" "Z:$data/broken" "Z:$fixtures_dir" --sets "Z:$data/volumes" \
  --sets "Z:$volume_fixtures_dir"
