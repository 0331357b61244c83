#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_setup
build_project >/dev/null
use_prefix bench
trap stop_wine EXIT
start_wine
wine "$build_dir/tests/tree_benchmark.exe"
