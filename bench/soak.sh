#!/usr/bin/env bash
# Long run: the program on the simulated KV320 at 100 kHz with 32 panels, four
# graph windows and every channel recorded every 10 ms, for MINUTES (default 60).
#   bench/soak.sh [MINUTES] [fill]
# With "fill" the working folder is a filesystem of its own (a tmpfs, as root)
# that the recording fills about halfway through: the recording must stop by
# itself with its notice and lose no row before the stop, and the program must
# run on to the end.
# Every minute: private bytes, handles, GDI and USER objects (cpu_helper stats)
# and the resident size Linux sees. At the end: the recording is stopped, the
# program closed (its exit code must be 0), the sample file exported with
# skalenor-export and its ramp channel checked for lost rows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-60}
fill=${2:-}
label=soak
source "$root/bench/bench-lib.sh"
dir="$build/soak"
umount "$dir" 2>/dev/null || true
if [ "$fill" = fill ]; then
  # Rows of 32 channels every 10 ms are 750 KiB a minute; the recording stops
  # when less than a minute of them and 256 KiB are left.
  size_kb=$((minutes * 750 / 2 + 750 + 256 + 64))
  mkdir -p "$dir"
  mount -t tmpfs -o size=${size_kb}k tmpfs "$dir" || { echo "soak: cannot mount a tmpfs here" >&2; exit 1; }
  trap 'wineserver -k 2>/dev/null || true; stop_xvfb; umount "$dir" 2>/dev/null || true' EXIT
  echo "soak: working folder on a ${size_kb} KiB tmpfs: the recording fills it after about $((minutes / 2)) minutes"
fi
configure_case "$dir" 100000 32 4 10 1
# Channel 32 a ramp that does not wrap during the run: each row climbs the same step.
period=$((minutes * 60 + 600))
{ echo "board = KV320"; for n in $(seq 1 31); do echo "ch$n = sine $((n % 5 + 1)) 0.$n"; done
  echo "ch32 = ramp -8 8 $period"; } > "$dir/kvsim.cfg"
log="$dir/soak.log"
: > "$log"
( cd "$dir" && exec "$WINE" "$build/skalenor.exe" ) >/dev/null 2>&1 &
launcher=$!
sleep 15
# A first start in a fresh prefix can outlast the helper's wait: click again until the recording's files exist.
for _ in 1 2 3 4 5; do
  wine "$build/cpu_helper.exe" record >/dev/null 2>&1 || true
  sleep 3
  ls "$dir"/Data/*.qmr >/dev/null 2>&1 && break
  sleep 10
done
ls "$dir"/Data/*.qmr >/dev/null 2>&1 || { echo "soak: the recording did not start" >&2; exit 1; }
started=$(date +%s)
for m in $(seq 0 "$minutes"); do
  pid=$(prefix_pid 'skalenor.exe')
  # Wine answers the Windows counters only for the process itself: Linux's view is logged too.
  mem=$(awk '/^VmRSS/ {r = $2} /^RssAnon/ {a = $2} END {print "rss_kb " r " anon_kb " a}' /proc/"$pid"/status 2>/dev/null)
  fds=$(ls /proc/"$(server_pid)"/fd 2>/dev/null | wc -l)
  echo "minute $m $(wine "$build/cpu_helper.exe" stats 2>/dev/null | tr -d '\r') $mem server_fds $fds" | tee -a "$log"
  [ "$m" -lt "$minutes" ] && sleep $((started + (m + 1) * 60 - $(date +%s)))
done
if [ "$fill" = fill ]; then
  # The recording stopped by itself: its notice is in the event log, and the button is left alone.
  grep -h "Запись остановлена" "$dir"/Data/events-*.csv | tee -a "$log" || { echo "soak: the recording did not stop" >&2; exit 1; }
else
  wine "$build/cpu_helper.exe" record >/dev/null 2>&1  # the same button stops it
  sleep 3
fi
code=0
wine "$build/skalenor-close.exe" >/dev/null 2>&1 || code=$?
wait "$launcher" || true
echo "shut-down: exit code $code" | tee -a "$log"
qmr=$(ls "$dir"/Data/*.qmr | head -1)
# The native export where it is built (the Windows one under Wine otherwise), beside the working folder: a full
# disk has no room for it.
csv="$build/soak.csv"
if [ -x "$root/build/native/tools/export/skalenor-export" ]; then
  "$root/build/native/tools/export/skalenor-export" "$qmr" "$csv"
else
  wine "$build/tools/export/skalenor-export.exe" "$(winpath "$qmr")" "$(winpath "$csv")" >/dev/null 2>&1
fi
cp "$log" "$build/soak.log"  # the working folder may be a tmpfs that goes at the end
python3 - "$csv" "$log" "$minutes" <<'PY'
import csv, statistics, sys
path, log, minutes = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(path, encoding="utf-8-sig", newline="") as f:
    rows = list(csv.reader(f))
head = rows[0]
col = next(i for i, h in enumerate(head) if h.startswith("32:"))
values = [float(r[col].replace(",", ".")) for r in rows[1:] if len(r) > col and r[col]]
steps = [b - a for a, b in zip(values[1:], values[2:])]
median = statistics.median(steps)
bad = [i for i, d in enumerate(steps) if abs(d - median) > 0.25 * abs(median)]
print(f"recording: {len(values)} rows of {len(head) - 1} channels (expected about {minutes * 6000}, "
      f"or about half that when the disk fills); "
      f"ramp step {median:.6g}, {len(bad)} rows off by more than a quarter step")
stats = [l.split() for l in open(log) if l.startswith("minute")]
def series(key):
    return [int(s[s.index(key) + 1]) for s in stats if key in s]
for key in ("private_bytes", "handles", "gdi", "user", "rss_kb", "anon_kb", "server_fds"):
    v = series(key)
    if v:
        settled = v[min(5, len(v) - 1):]
        print(f"{key}: first {v[0]}, after 5 min {settled[0]}, last {v[-1]}, max {max(v)}; "
              f"growth after 5 min {settled[-1] - settled[0]}")
sys.exit(1 if bad or not values else 0)
PY
