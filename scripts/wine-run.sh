#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs one .exe under Wine.
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
