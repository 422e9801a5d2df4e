#!/usr/bin/env bash
# Builds everything and runs every test: the native core under the sanitizers
# (with a bounded fuzz run) and the Windows program and its tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

jobs=$(nproc)
native="$root/build/native"
win="$root/build/win32"

cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$native" -j "$jobs"
cmake -S . -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" >/dev/null
cmake --build "$win" -j "$jobs"

source scripts/xvfb.sh
export SKALENOR_BUILD="$win"
source scripts/wine-env.sh
cleanup() { wineserver -k 2>/dev/null || true; stop_xvfb; }
trap cleanup EXIT
start_xvfb
wine_prepare

status=0
ctest --test-dir "$native" -j "$jobs" --output-on-failure | tee "$native/ctest.log" || status=1
ctest --test-dir "$win" --output-on-failure | tee "$win/ctest.log" || status=1

# One closing line for both runs.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
read -r nf nt < <(count "$native/ctest.log")
read -r wf wt < <(count "$win/ctest.log")
failed=$(( ${nf:-0} + ${wf:-0} ))
total=$(( ${nt:-0} + ${wt:-0} ))
echo "$(( total - failed )) passed, $failed failed"
exit $status
