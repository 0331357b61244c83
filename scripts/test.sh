#!/usr/bin/env bash
# Sets up what is missing, builds both flavours, and runs every test under Wine in a fresh
# prefix, with a private X server for the window tests. Extra arguments go to ctest.
#
# Where the machine runs 32-bit programs, the whole suite runs on the 32-bit program (the
# main product) in a 32-bit Windows, then on the 64-bit program, then on the 32-bit one in
# a 64-bit Windows; the later runs only while the run has taken less than half of CI's 90
# minutes. Where the machine runs no 32-bit programs, the whole suite runs on the 64-bit
# program under the 64-bit Wine. VARNIX_TEST_FLAVOURS (for example "x64" or
# "x86 x86-wow64") chooses by hand.
set -euo pipefail
source "$(dirname "$0")/common.sh"
started=$(date +%s)
budget_seconds=$((45 * 60))

ensure_setup
build_project

if [ -n "${VARNIX_TEST_FLAVOURS:-}" ]; then
  read -r -a flavours <<<"$VARNIX_TEST_FLAVOURS"
  echo "test.sh: testing the flavours asked for: ${flavours[*]}"
elif machine_runs_32bit; then
  flavours=(x86 x64 x86-wow64)
else
  flavours=(x64)
  echo "test.sh: this machine runs no 32-bit programs: testing the 64-bit program only, under 64-bit Wine"
fi
skipped=""
if [ -z "${VARNIX_TEST_FLAVOURS:-}" ] && [ "${#flavours[@]}" -eq 1 ]; then
  skipped="x86 and x86-wow64 skipped (this machine runs no 32-bit programs); "
fi

ensure_display
cleanup() {
  stop_wine
  stop_display
}
trap cleanup EXIT

status=0
summary=()
for name in "${flavours[@]}"; do
  if [ "${#summary[@]}" -gt 0 ] && [ $(($(date +%s) - started)) -gt "$budget_seconds" ]; then
    summary+=("$name skipped (the run had taken over $((budget_seconds / 60)) minutes)")
    continue
  fi
  use_flavour "$name"
  flavour_started=$(date +%s)
  use_fresh_prefix test
  start_wine
  result=passed
  ctest --test-dir "$flavour_dir" --output-on-failure "$@" || { result=FAILED; status=1; }
  stop_wine
  summary+=("$name $result in $(($(date +%s) - flavour_started)) s")
done
echo "test.sh: $(IFS=';'; echo "${summary[*]}" | sed 's/;/; /g'); ${skipped}finished in $(($(date +%s) - started)) s"
exit "$status"
