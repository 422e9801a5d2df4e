#!/usr/bin/env bash
# Makes the user guide's screenshots (docs/*.png) with the program on the simulated board, each picture from a
# fresh start on the demo configuration. The test command runs it after the tests, on its display and prefix:
#   scripts/guide-pictures.sh [OUTDIR]          (needs DISPLAY and SKALENOR_BUILD; default OUTDIR docs)
# The printed page comes from the test command's PDF printer, when there is one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(readlink -f "${1:-$here/../docs}")
source "$here/wine-env.sh"
wine_prepare
win=$SKALENOR_BUILD
work="$win/guide"

# picture seconds [skalenor-close arguments]: start, wait, optionally work the program, screenshot, close.
picture() {
  local name=$1 seconds=$2; shift 2
  (cd "$work" && exec "$WINE" "$win/skalenor.exe") &
  local pid=$!
  sleep "$seconds"
  if [ $# -gt 0 ]; then "$WINE" "$win/skalenor-close.exe" "$@" || true; sleep 2; fi
  import -window root "$out/$name"
  "$WINE" "$win/skalenor-close.exe" >/dev/null 2>&1 || true
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "guide: $out/$name" >&2
}

rm -rf "$work"
mkdir -p "$work"
cp "$here/../demo/skalenor.cfg" "$work/skalenor.cfg"
picture main-window.png 10
picture channels-dialog.png 8 --command 32771
picture channel-settings.png 8 --click 1005
picture event-window.png 30 --command 32782
# A second graph (channels 9-12) beside the demo's first, both at 30 s a division.
python3 - "$work/skalenor.cfg" <<'PY'
import re, sys
p = sys.argv[1]
s = open(p, 'rb').read()
s = re.sub(rb'chPlot = 1,2,3,0,0,0,0,0, 0,0,0,0,0,0,0,0', b'chPlot = 1,2,3,0,0,0,0,0, 9,10,11,12,0,0,0,0', s)
s = re.sub(rb'rPlot = 100,100,740,580, 0,0,0,0', b'rPlot = 330,60,1010,480, 590,470,1270,920', s)
s = s.replace(b'scPlot = 2,0,0,0', b'scPlot = 0,0,0,0')
s = s.replace(b"plotName2 = ''", b"plotName2 = '" + 'Расход и частота'.encode('cp1251') + b"'")
open(p, 'wb').write(s)
PY
picture graph-windows.png 25

# The recording viewer on a demo-like recording (made from the file layout): two cursors put by clicks, the
# mouse between them.
mkdir -p "$work/Data"
"$WINE" "$win/bench/make_recording.exe" "$(winpath "$work/Data")\\261207_101500.qmr" --demo
(cd "$work" && exec "$WINE" "$win/skalenor-view.exe" 'Data\261207_101500.qmr') &
viewer=$!
sleep 6
xdotool mousemove 330 500 click 1 sleep 0.5 mousemove 560 500 click 1 sleep 0.5 mousemove 470 420 sleep 1
import -window root "$out/viewer.png"
xdotool key alt+F4  # the viewer has the focus after the clicks
for _ in $(seq 20); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.5; done
kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true
echo "guide: $out/viewer.png" >&2

# The web server's live page (the demo with the server on), as headless Chromium renders it.
if command -v chromium >/dev/null; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  LC_ALL=C sed "s/^WebPort = .*/WebPort = $port/" "$here/../demo/skalenor.cfg" > "$work/skalenor.cfg"
  (cd "$work" && exec "$WINE" "$win/skalenor.exe") &
  pid=$!
  sleep 12
  rm -rf "$work/chromium"
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/chromium" --hide-scrollbars \
    --window-size=1280,820 --virtual-time-budget=3000 --screenshot="$out/web-page.png" "http://127.0.0.1:$port/" \
    >/dev/null 2>&1 || true
  "$WINE" "$win/skalenor-close.exe" >/dev/null 2>&1 || true
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "guide: $out/web-page.png" >&2
fi

# The demo's first graph (at 30 s a division) on the PDF printer, when the test command set one up.
if [ -n "${SKALENOR_PDF_DIR:-}" ]; then
  LC_ALL=C sed 's/^scPlot = 2,0,0,0/scPlot = 0,0,0,0/' "$here/../demo/skalenor.cfg" > "$work/skalenor.cfg"
  mkdir -p "$SKALENOR_PDF_DIR"
  before=$(ls "$SKALENOR_PDF_DIR" | wc -l)
  picture print-screen.png 20 --click 1105
  for _ in $(seq 60); do [ "$(ls "$SKALENOR_PDF_DIR" | wc -l)" -gt "$before" ] && break; sleep 1; done
  sleep 3  # the printer writes the file as it goes
  pdf=$(ls -t "$SKALENOR_PDF_DIR"/*.pdf 2>/dev/null | head -1 || true)
  rm -f "$out/print-screen.png"
  if [ -n "$pdf" ]; then
    pdftoppm -png -r 80 -singlefile "$pdf" "$out/printed-page"
    rm -f "$pdf"
    echo "guide: $out/printed-page.png" >&2
  fi
fi
