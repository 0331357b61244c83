#!/usr/bin/env bash
# Sets up what is missing and builds the program and the tests into build/.
set -euo pipefail
source "$(dirname "$0")/common.sh"
ensure_setup
build_project
