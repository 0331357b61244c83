#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_setup
build_project >/dev/null
use_runnable_flavour
use_prefix bench
ensure_display # the add benchmark shows the progress dialog
trap 'stop_wine; stop_display' EXIT
start_wine

# Archives of 100,000 entries: all in one folder, and spread over 1,100 folders; one of
# 50,000 small files.
data="$build_dir/benchdata"
mkdir -p "$data"
python3 - "$data" <<'PY'
import sys, zipfile
from pathlib import Path
out = Path(sys.argv[1])
if not (out / "flat-100k.zip").exists():
    with zipfile.ZipFile(out / "flat-100k.zip", "w", zipfile.ZIP_STORED) as z:
        for i in range(100000):
            z.writestr(f"file{i}.txt", b"x")
if not (out / "files-50k.zip").exists():
    with zipfile.ZipFile(out / "files-50k.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(50000):
            z.writestr(f"part{i % 100}/file{i}.txt", f"file number {i}\n" * 20)
if not (out / "nested-100k.zip").exists():
    with zipfile.ZipFile(out / "nested-100k.zip", "w", zipfile.ZIP_STORED) as z:
        for i in range(100000):
            z.writestr(f"dir{i % 100}/sub{(i // 100) % 10}/file{i}.dat", b"x")
# A million entries: all in one folder, and spread over 10,000 folders.
if not (out / "flat-1m.zip").exists():
    with zipfile.ZipFile(out / "flat-1m.zip", "w", zipfile.ZIP_STORED) as z:
        for i in range(1000000):
            z.writestr(f"file{i}.txt", b"x")
if not (out / "nested-1m.zip").exists():
    with zipfile.ZipFile(out / "nested-1m.zip", "w", zipfile.ZIP_STORED) as z:
        for i in range(1000000):
            z.writestr(f"dir{i % 100}/sub{(i // 100) % 100}/file{i}.dat", b"x")
PY
# A 1 GB .tar.gz of files that do not compress, made once.
if [ ! -f "$data/big-1gb.tar.gz" ]; then
  python3 - "$data" <<'PY'
import os, sys
from pathlib import Path
source = Path(sys.argv[1]) / "big-source"
for i in range(1024):
    folder = source / f"part{i % 16}"
    folder.mkdir(parents=True, exist_ok=True)
    (folder / f"block{i}.bin").write_bytes(os.urandom(1 << 20))
PY
  tar -C "$data/big-source" -cf - . | gzip -1 >"$data/big-1gb.tar.gz"
  rm -rf "$data/big-source"
fi

# One entry of 500 MB, and its file beside it, for opening a big entry and dropping a big
# file (made once).
if [ ! -f "$data/big-entry.zip" ]; then
  mkdir -p "$data/big-entry"
  head -c $((500 * 1024 * 1024)) /dev/urandom >"$data/big-entry/movie.varnixbench"
  (cd "$data/big-entry" && "$sevenzip_package_dir/linux/x64/7zz" a -tzip -mx1 ../big-entry.zip \
    movie.varnixbench >/dev/null)
fi

echo "bench: the $flavour program"
"$wine" "$flavour_dir/tests/tree_benchmark.exe"
"$wine" "$flavour_dir/tests/open_benchmark.exe" "$("$wine" winepath -w "$data/flat-100k.zip")" \
  "$("$wine" winepath -w "$data/nested-100k.zip")"

# Against the engine itself: the raw library client, 7z.exe x and 7z.exe a; one table.
python3 "$root/scripts/bench_compare.py" "$wine" "$flavour_dir" "$data" \
  "$sevenzip_package_dir/linux/x64/7zz"
