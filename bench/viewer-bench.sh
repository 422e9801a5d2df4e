#!/usr/bin/env bash
# The recording viewer and the export on a day of 32 channels every 10 ms (8.64 million rows, 1.1 GB), read from
# the page cache. Not run by the tests; prints figures beside their targets:
#   bash bench/viewer-bench.sh [--old-export PATH]
# Natively (an optimised build in build/release): reading the rows alone against building the summary in the same
# run, the arithmetic of a 1920-column frame, and skalenor-export's time and memory (against an earlier
# skalenor-export when given, whose CSV must be the same bytes). Under Wine (the test command's Windows build):
# start to the first full picture, zoom and scroll steps, and the viewer's memory as Linux sees the Wine process.
# The recording is made once, in build/bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
old=""
[ "${1:-}" = "--old-export" ] && old=$(readlink -f "$2")

release="$root/build/release"
cmake -S . -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKALENOR_SANITIZE=OFF -DSKALENOR_FUZZ=OFF >/dev/null
cmake --build "$release" --target viewer_bench make_recording skalenor-export >/dev/null
mkdir -p build/bench
rec="$root/build/bench/viewer-24h.qmr"
[ -f "$rec" ] || "$release/bench/make_recording" "$rec"
cat "$rec" >/dev/null  # into the page cache

echo "== natively"
"$release/bench/viewer_bench" "$rec"
echo "-- the same with transparent huge pages for the summary's fresh memory (GLIBC_TUNABLES=glibc.malloc.hugetlb=1):"
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$release/bench/viewer_bench" "$rec" | grep -E "^(reading|building)"

echo "== skalenor-export of the whole recording"
csv="$root/build/bench/viewer-24h.csv"
/usr/bin/time -f "skalenor-export: %e s, %M KB largest resident memory (target at most 64 MB)" \
  "$release/tools/export/skalenor-export" "$rec" "$csv"
if [ -n "$old" ]; then
  /usr/bin/time -f "earlier skalenor-export: %e s, %M KB largest resident memory" "$old" "$rec" "$csv.old"
  cmp "$csv" "$csv.old" && echo "the same CSV bytes"
  rm -f "$csv.old"
fi
rm -f "$csv"

echo "== under Wine"
source scripts/wine-bin.sh
win="$root/build/win32"
can_run_32bit || win="$root/build/win64"
cmake --build "$win" --target skalenor-view viewer_bench_win >/dev/null
export SKALENOR_BUILD="$win"
source scripts/xvfb.sh
[ -n "${DISPLAY:-}" ] || { start_xvfb; trap stop_xvfb EXIT; }
source scripts/wine-env.sh
wine_prepare
# Linux's view of the viewer's memory, sampled while the helper works it: anonymous resident memory is the
# process's own (heap and summary), without the shared libraries mapped from disk.
"$WINE" "$win/bench/viewer_bench_win.exe" "$(winpath "$win/skalenor-view.exe")" "$(winpath "$rec")" &
helper=$!
largest=0
while kill -0 "$helper" 2>/dev/null; do
  pid=$(pgrep -n -f 'skalenor-view.exe' || true)
  if [ -n "$pid" ]; then
    kb=$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    [ "${kb:-0}" -gt "$largest" ] && largest=$kb
  fi
  sleep 0.2
done
wait "$helper"
echo "viewer's largest anonymous resident memory: $((largest / 1024)) MB (target at most 150 MB private)"
