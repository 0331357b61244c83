# Shared by the project's scripts: where things are, and how Wine and the display are set up.
# Source it; it defines functions and variables and runs nothing by itself.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

# Wine quietly, without desktop integration (no menu entries or MIME types on the host)
# and without offering to install Mono or Gecko.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

ensure_setup() {
  bash "$root/scripts/setup.sh"
}

build_project() {
  cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" -j "$(nproc)"
}

# A Wine prefix is made once (about 10 s) and copied for every run, so that each run
# starts from the same clean registry. Its programs run in a Wine virtual desktop: windows
# get title bars without a window manager, and Wine does not wait for a window manager
# that is not there each time a window is hidden.
pristine_prefix="$build_dir/wine/pristine"

ensure_pristine_prefix() {
  if [ ! -f "$pristine_prefix/.varnix-ready" ]; then
    echo "wine: making a prefix in $pristine_prefix"
    rm -rf "$pristine_prefix"
    mkdir -p "$(dirname "$pristine_prefix")"
    (
      export WINEPREFIX="$pristine_prefix"
      WINEARCH=win32 wineboot -i
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f
      wineserver -w
    ) </dev/null >/dev/null 2>&1
    touch "$pristine_prefix/.varnix-ready"
  fi
}

# use_fresh_prefix NAME: a copy of the pristine prefix, used from here on.
use_fresh_prefix() {
  ensure_pristine_prefix
  export WINEPREFIX="$build_dir/wine/$1"
  if [ -d "$WINEPREFIX" ]; then
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  cp -a "$pristine_prefix" "$WINEPREFIX"
}

# use_prefix NAME: a prefix that is kept between runs (made on first use).
use_prefix() {
  ensure_pristine_prefix
  export WINEPREFIX="$build_dir/wine/$1"
  [ -d "$WINEPREFIX" ] || cp -a "$pristine_prefix" "$WINEPREFIX"
}

# Starts a private X server unless one is already given; stop_display ends it.
started_display_pid=""
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return
  fi
  local fd_file
  fd_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  started_display_pid=$!
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(tr -d '\n' <"$fd_file")"
  rm -f "$fd_file"
}

stop_display() {
  if [ -n "$started_display_pid" ]; then
    kill "$started_display_pid" 2>/dev/null || true
    wait "$started_display_pid" 2>/dev/null || true
    started_display_pid=""
  fi
}

# Keeps one Wine server, with Wine's own services, for the whole run: starting them per
# test costs seconds each. The services are started here with their output going nowhere,
# so that they do not hold a test's output pipe open after the test has ended.
start_wine() {
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k 2>/dev/null || true
}
