#!/usr/bin/env bash
# Builds the installer and the portable zip of both programs into build/package/:
# VarnixFileOpener-1.0-setup.exe and -portable.zip (32-bit), and the -x64- pair (64-bit).
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_setup
build_project >/dev/null
version="$(sed -n 's/^project(VarnixFileOpener VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
out="$build_dir/package"
made=()
for flavour in x86 x64; do
  use_flavour "$flavour"
  engine=ia32
  [ "$flavour" = x64 ] && engine=x64
  while read -r file; do
    made+=("$(basename "$file")")
  done < <(python3 "$root/scripts/package/make_package.py" "$flavour_dir/bin" "$out" \
    "$version" "$flavour" "$sevenzip_package_dir/win/$engine/License.txt")
done
echo "package: made ${made[*]} in $out"
