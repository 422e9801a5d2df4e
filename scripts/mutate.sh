#!/usr/bin/env bash
# Mutation pass over a built checkout (build/native and build/win32 or build/win64):
#   scripts/mutate.sh [ROOT] [ID ...]    (see scripts/mutate.py)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/..}" && pwd); shift || true
source "$here/xvfb.sh"
source "$here/wine-bin.sh"
# The Windows tests run where test.sh runs them: the 32-bit build when 32-bit Wine runs.
if can_run_32bit; then export SKALENOR_MUTATE_WIN=win32; else export SKALENOR_MUTATE_WIN=win64; fi
export SKALENOR_BUILD="$root/build/$SKALENOR_MUTATE_WIN"
source "$here/wine-env.sh"
source "$here/cups.sh"
trap 'wineserver -k 2>/dev/null || true; stop_xvfb; stop_cups' EXIT
start_xvfb
start_cups "$SKALENOR_BUILD/cups"  # a PDF printer for the print button, as in the test command
wine_prepare
python3 "$here/mutate.py" "$root" "$@"
