#!/bin/sh
# small_disk.sh mount|unmount FOLDER: a 2 MB disk (tmpfs) at FOLDER for the full-disk test.
# Never fails: where nothing can be mounted, the test that needs it is skipped.
folder="$2"
case "$1" in
  mount)
    mkdir -p "$folder"
    if mountpoint -q "$folder" || mount -t tmpfs -o size=2m varnix-small-disk "$folder" 2>/dev/null; then
      echo "small disk: 2 MB mounted at $folder"
    else
      echo "small disk: could not mount one here; the full-disk test will be skipped"
    fi
    ;;
  unmount)
    if mountpoint -q "$folder"; then
      umount "$folder" && echo "small disk: unmounted"
    fi
    ;;
esac
exit 0
