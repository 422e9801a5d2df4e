#!/usr/bin/env bash
# Runs a command (a Wine test) with a small filesystem of its own mounted at
# SKALENOR_SMALL_DISK: a 1 MB tmpfs in the current folder, unmounted after.
# Where the machine refuses the mount, the command runs without it and the
# test says it skipped.
set -u
disk="$PWD/small-disk"
mkdir -p "$disk"
umount "$disk" 2>/dev/null
if mount -t tmpfs -o size=1m tmpfs "$disk" 2>/dev/null; then
  export SKALENOR_SMALL_DISK="$disk"
  trap 'chattr -R -i "$disk" 2>/dev/null; umount "$disk"' EXIT
else
  echo "small_disk: this machine refuses the tmpfs mount; the full-disk test will skip" >&2
fi
"$@"
