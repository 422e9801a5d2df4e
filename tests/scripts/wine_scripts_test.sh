#!/usr/bin/env bash
# The scripts' Wine branches against stand-in Wine binaries that log their
# calls: the 32-bit branch must run on machines that cannot run 32-bit Wine.
set -u
root=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fake="$work/wine-bin"; mkdir -p "$fake"
for b in wine wine64 wineserver wineserver32 wineserver64; do
  cat > "$fake/$b" <<STUB
#!/bin/sh
printf '%s\\n' "$b \$* | \$WINEPREFIX | \$WINEARCH | \${WINESERVER:-}" >> "$work/calls"
STUB
  chmod +x "$fake/$b"
done
failures=0
expect() {  # description, grep pattern
  grep -qF -- "$2" "$work/calls" || { echo "FAIL: $1: no call like '$2' in:"; cat "$work/calls"; failures=$((failures + 1)); }
}
for arch in win32 win64; do
  build="$work/$arch"; mkdir -p "$build/sim"; touch "$build/sim/kvsim.dll"
  echo "$arch" > "$build/wine-arch.txt"
  : > "$work/calls"
  env -u WINEPREFIX -u WINESERVER -u WINELOADER SKALENOR_WINE_DIR="$fake" SKALENOR_BUILD="$build" DISPLAY=:77 \
    timeout 20 bash "$root/scripts/wine-run.sh" "$build/program.exe" --flag
  [ $? -eq 0 ] || { echo "FAIL: wine-run.sh on $arch did not end cleanly"; failures=$((failures + 1)); }
  loader=$([ "$arch" = win32 ] && echo wine || echo wine64)
  server=$([ "$arch" = win32 ] && echo "" || echo "$fake/wineserver64")
  expect "$arch: prefix created" "$loader wineboot -i | $build/wineprefix | $arch | $server"
  expect "$arch: driver registered" "$loader reg add HKLM\\SOFTWARE\\Tarvelin\\Drivers\\1.0\\KV320E /v path"
  expect "$arch: program run" "$loader $build/program.exe --flag | $build/wineprefix | $arch | $server"
done
( SKALENOR_WINE_DIR="$fake"; source "$root/scripts/wine-bin.sh"; can_run_32bit ) ||
  { echo "FAIL: a working 32-bit Wine is not seen"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "wine scripts: both branches call the right Wine"
exit "$failures"
