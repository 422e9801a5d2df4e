#!/usr/bin/env bash
# Mutation pass over a built checkout (build/native and build/win64):
#   scripts/mutate.sh [ROOT] [ID ...]    (see scripts/mutate.py)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/..}" && pwd); shift || true
source "$here/xvfb.sh"
export SKALENOR_BUILD="$root/build/win64"
source "$here/wine-env.sh"
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
start_xvfb
wine_prepare
python3 "$here/mutate.py" "$root" "$@"
