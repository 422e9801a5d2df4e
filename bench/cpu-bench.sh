#!/usr/bin/env bash
# CPU of the running program under Wine on the simulated board, per thread, as
# percent of one core, beside two calibration programs measured in the same run.
#   bench/cpu-bench.sh [SECONDS] [CASE...]     (default 30 s; all cases)
# Cases: calib-timer calib-texts idle panels8 panels32 panels100k rec1k rec100k graphs4 web-off web-on startup
# web-on: panels32 with the web server on and bench/web-load.py's clients (ten polling /api/values twice a
# second, one scraping /metrics every second); web-off: the same clients against the same case without the
# server (they are refused). Name both in one run to compare them.
# Run it on a quiet machine: other load shows up in every figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}; shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(calib-timer calib-texts idle panels8 panels32 panels100k rec1k rec100k graphs4 web-off
  web-on startup)
label=cpu-bench
source "$root/bench/bench-lib.sh"
echo "cpu-bench: $seconds s per case"
web_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Measures a running process and this prefix's wineserver for $seconds.
measure() {  # name pid
  local name=$1 pid=$2 server; server=$(server_pid)
  local before after; before=$(thread_ticks "$pid"); local sb; sb=$(thread_ticks "$server" | awk '{s+=$3} END {print s}')
  sleep "$seconds"
  after=$(thread_ticks "$pid"); local sa; sa=$(thread_ticks "$server" | awk '{s+=$3} END {print s}')
  awk -v name="$name" -v hz="$hz" -v secs="$seconds" -v sb="$sb" -v sa="$sa" '
    NR == FNR { b[$1] = $3; next }
    { d = $3 - b[$1]; if (d > 0) { threads = threads sprintf(" %s:%.2f", $2, 100 * d / hz / secs) }; total += d }
    END { p = 100 * total / hz / secs; w = 100 * (sa - sb) / hz / secs
          printf "%-12s program %6.2f %%  wineserver %6.2f %%  total %6.2f %%  threads%s\n", name, p, w, p + w, threads }' \
    <(echo "$before") <(echo "$after")
}

run_program_case() {  # name rate shown graphs ftime record [web port]
  local name=$1 dir="$build/cpu-bench/$1" web=${7:-}
  configure_case "$dir" "$2" "$3" "$4" "$5" "$6"
  [ -z "$web" ] || sed -i "s/^WebPort = .*/WebPort = $([ "$name" = web-on ] && echo "$web" || echo 0)/" "$dir/skalenor.cfg"
  ( cd "$dir" && exec "$WINE" "$build/skalenor.exe" ) >/dev/null 2>&1 &
  sleep 12
  [ "$6" = 1 ] && wine "$build/cpu_helper.exe" record >/dev/null 2>&1 && sleep 2
  local load=""
  if [ -n "$web" ]; then python3 "$root/bench/web-load.py" "$web" $((seconds + 4)) & load=$!; sleep 2; fi
  local pid; pid=$(prefix_pid 'skalenor.exe')
  [ -n "$pid" ] && measure "$name" "$pid" || echo "$name: the program did not start"
  [ -z "$load" ] || wait "$load"
  wine "$build/skalenor-close.exe" >/dev/null 2>&1 || true
  sleep 2
}

run_calibration() {  # name mode
  ( exec "$WINE" "$build/cpu_helper.exe" calibrate "$2" $((seconds + 10)) ) >/dev/null 2>&1 &
  local launcher=$!
  sleep 5
  local pid; pid=$(prefix_pid 'cpu_helper.exe')
  measure "$1" "$pid"
  wait "$launcher" || true
}

for c in "${cases[@]}"; do
  case "$c" in
    calib-timer) run_calibration "$c" timer ;;
    calib-texts) run_calibration "$c" texts ;;
    idle)     run_program_case "$c" 1000 0 0 100 0 ;;
    panels8)  run_program_case "$c" 1000 8 0 100 0 ;;
    panels32) run_program_case "$c" 1000 32 0 100 0 ;;
    rec100k)  run_program_case "$c" 100000 32 0 10 1 ;;
    panels100k) run_program_case "$c" 100000 32 0 10 0 ;;
    rec1k)    run_program_case "$c" 1000 32 0 16 1 ;;
    graphs4)  run_program_case "$c" 1000 32 4 100 0 ;;
    web-off|web-on) run_program_case "$c" 1000 32 0 100 0 "$web_port" ;;
    startup)
      dir="$build/cpu-bench/startup"; configure_case "$dir" 1000 32 0 100 0
      for i in 1 2 3; do ( cd "$dir" && "$WINE" "$build/cpu_helper.exe" startup "$(winpath "$build/skalenor.exe")" ); done ;;
    *) echo "unknown case $c" >&2 ;;
  esac
done
