#!/usr/bin/env bash
# Builds everything and runs every test: the native core under the sanitizers
# (with a bounded fuzz run), then the Windows program and its tests under Wine.
#
# The product is the 32-bit build (build/win32). Where this machine's kernel
# cannot run 32-bit programs (and so no 32-bit Wine), the Windows tests run on
# the 64-bit build of the same sources (build/win64) under 64-bit Wine, and the
# 32-bit build runs its checks that need no Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

jobs=$(nproc)
native="$root/build/native"
win32="$root/build/win32"
win64="$root/build/win64"

configure() {  # folder, extra cmake arguments
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}
configure "$native" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$native" -j "$jobs"
configure "$win32" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake"
cmake --build "$win32" -j "$jobs"

source scripts/xvfb.sh
source scripts/wine-bin.sh
wintest="$win32"
if ! can_run_32bit; then
  echo "test: this kernel cannot run 32-bit programs; Windows tests run on the 64-bit build" >&2
  configure "$win64" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake"
  cmake --build "$win64" -j "$jobs"
  wintest="$win64"
fi
export SKALENOR_BUILD="$wintest"
source scripts/wine-env.sh
source scripts/cups.sh
cleanup() { wineserver -k 2>/dev/null || true; stop_xvfb; stop_cups; }
trap cleanup EXIT
start_xvfb
start_cups "$wintest/cups"  # a PDF printer for the print button
wine_prepare

status=0
logs=()
run_ctest() {  # folder, log name, ctest arguments
  local dir=$1 log=$2; shift 2
  ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$dir/$log" || status=1
  logs+=("$dir/$log")
}
run_ctest "$native" ctest.log -j "$jobs"
if [ "$wintest" = "$win64" ]; then
  run_ctest "$win32" ctest-static.log -L static
fi
run_ctest "$wintest" ctest.log
# The user guide's screenshots, from the program as it now is.
[ "$status" -ne 0 ] || bash scripts/guide-pictures.sh docs || status=1

# One closing line for all runs.
passed=0; failed=0
for log in "${logs[@]}"; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  f=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' <<<"$line")
  t=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' <<<"$line")
  [ -n "$t" ] || { status=1; continue; }
  failed=$((failed + f)); passed=$((passed + t - f))
done
[ "$failed" -eq 0 ] || status=1
echo "$passed passed, $failed failed"
python3 scripts/line-ratio.py "$root"
exit $status
