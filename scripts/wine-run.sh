#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs one .exe under Wine.
# This machine's kernel cannot run 32-bit Linux programs, so 32-bit Wine does
# not start here: configure Windows test trees with
#   -DCMAKE_TOOLCHAIN_FILE=<root>/cmake/toolchain-mingw64.cmake
# and they run under 64-bit Wine (/usr/lib/wine/wine64); scripts/test.sh does so.
set -u
exe="$1"
if [ -z "${SKALENOR_BUILD:-}" ]; then
  d=$(dirname "$(readlink -f "$exe")")
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  export SKALENOR_BUILD="$d"
fi
source "$(dirname "$(readlink -f "$0")")/wine-env.sh"
wine_prepare
exec "$WINE" "$@"
