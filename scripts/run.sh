#!/usr/bin/env bash
# Builds the program and runs it under Wine on the simulated board.
#   scripts/run.sh [--workdir DIR] [--screenshot FILE.png --seconds N] [--menu ID]
# DIR (default build/run) is the program's current directory; the demo
# configuration is copied in only when DIR has no skalenor.cfg. With
# --screenshot the screen is saved after N seconds and the program closed;
# --menu ID gives the menu command ID first (32771 opens "Каналы...").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
workdir="$root/build/run"
shot=""
seconds=10
menu=""
while [ $# -gt 0 ]; do
  case "$1" in
    --workdir) workdir="$2"; shift 2 ;;
    --screenshot) shot="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --menu) menu="$2"; shift 2 ;;
    *) echo "usage: $0 [--workdir DIR] [--screenshot FILE --seconds N] [--menu ID]" >&2; exit 2 ;;
  esac
done
[ -z "$shot" ] || shot=$(readlink -f "$shot")

cd "$root"
bash scripts/setup.sh
# The 32-bit product; where the kernel cannot run 32-bit programs (no 32-bit
# Wine), the 64-bit build of the same sources.
win="$root/build/win32"
toolchain="$root/cmake/toolchain-mingw.cmake"
source scripts/wine-bin.sh
if ! can_run_32bit; then
  echo "run: this kernel cannot run 32-bit programs; running the 64-bit build" >&2
  win="$root/build/win64"
  toolchain="$root/cmake/toolchain-mingw64.cmake"
fi
cmake -S . -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
targets=(skalenor skalenor-close)
[ -f sim/CMakeLists.txt ] && targets+=(kvsim)
cmake --build "$win" -j "$(nproc)" --target "${targets[@]}"

source scripts/xvfb.sh
own_display=0
if [ -z "${DISPLAY:-}" ]; then start_xvfb; own_display=1; fi
export SKALENOR_BUILD="$win"
source scripts/wine-env.sh
wine_prepare

mkdir -p "$workdir"
workdir=$(readlink -f "$workdir")
[ -f "$workdir/skalenor.cfg" ] || cp "$root/demo/skalenor.cfg" "$workdir/skalenor.cfg"
cd "$workdir"
echo "run: skalenor.exe in $workdir on DISPLAY=$DISPLAY, WINEPREFIX=$WINEPREFIX" >&2
wine "$win/skalenor.exe" &
pid=$!
status=0
if [ -n "$shot" ]; then
  if [ -n "$menu" ]; then
    sleep "$seconds"
    wine "$win/skalenor-close.exe" --command "$menu" || true
    sleep 2
  else
    sleep "$seconds"
  fi
  import -window root "$shot"
  echo "run: screenshot saved to $shot" >&2
  wine "$win/skalenor-close.exe" || true
fi
wait "$pid" || status=$?
if [ "$own_display" = 1 ]; then wineserver -k 2>/dev/null || true; stop_xvfb; fi
exit $status
