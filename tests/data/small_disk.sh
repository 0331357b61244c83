#!/bin/sh
# small_disk.sh mount|unmount FOLDER [ARCHIVE]: a 2 MB disk (tmpfs) at FOLDER for the
# full-disk cases, and a read-only one at FOLDER-readonly holding a copy of ARCHIVE, for an
# extraction into a folder nobody may write. Never fails: where nothing can be mounted, the
# tests that need them are skipped.
folder="$2"
readonly_folder="$2-readonly"
case "$1" in
  mount)
    mkdir -p "$folder" "$readonly_folder"
    if mountpoint -q "$folder" || mount -t tmpfs -o size=2m varnix-small-disk "$folder" 2>/dev/null; then
      echo "small disk: 2 MB mounted at $folder"
    else
      echo "small disk: could not mount one here; the full-disk test will be skipped"
    fi
    if [ -n "${3:-}" ] && ! mountpoint -q "$readonly_folder" &&
      mount -t tmpfs -o size=1m varnix-readonly-disk "$readonly_folder" 2>/dev/null; then
      cp "$3" "$readonly_folder/" && mount -o remount,ro "$readonly_folder" &&
        echo "read-only disk: mounted at $readonly_folder"
    fi
    ;;
  unmount)
    for mounted in "$folder" "$readonly_folder"; do
      if mountpoint -q "$mounted"; then
        umount "$mounted" && echo "small disk: unmounted $mounted"
      fi
    done
    ;;
esac
exit 0
