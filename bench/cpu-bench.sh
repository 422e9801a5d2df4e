#!/usr/bin/env bash
# CPU of the running program under Wine on the simulated board, per thread, as
# percent of one core, beside two calibration programs measured in the same run.
#   bench/cpu-bench.sh [SECONDS] [CASE...]     (default 30 s; all cases)
# Cases: calib-timer calib-texts idle panels8 panels32 rec100k graphs4 startup
# Run it on a quiet machine: other load shows up in every figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}; shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(calib-timer calib-texts idle panels8 panels32 rec100k graphs4 startup)
cd "$root"
source scripts/wine-bin.sh
build="$root/build/win32"; toolchain="$root/cmake/toolchain-mingw.cmake"
if ! can_run_32bit; then build="$root/build/win64"; toolchain="$root/cmake/toolchain-mingw64.cmake"; fi
echo "cpu-bench: $(basename "$build") under $(can_run_32bit && echo 32 || echo 64)-bit Wine, $seconds s per case"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" -j "$(nproc)" --target skalenor skalenor-close kvsim cpu_helper >/dev/null
source scripts/xvfb.sh
start_xvfb
export SKALENOR_BUILD="$build"
source scripts/wine-env.sh
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
wine_prepare
hz=$(getconf CLK_TCK)

# Ticks (user + system) of every thread of a process: "tid comm ticks" lines.
thread_ticks() {
  for t in /proc/"$1"/task/*; do
    [ -r "$t/stat" ] || continue
    local s; s=$(cat "$t/stat" 2>/dev/null) || continue
    local rest=${s##*) }
    set -- $rest
    echo "${t##*/} $(tr ' ' '_' < "$t/comm") $(( ${12} + ${13} ))"
  done
}
prefix_pid() {  # the newest process matching $1 that runs in this prefix
  local found=""
  for p in $(pgrep -f "$1"); do
    tr '\0' '\n' < /proc/"$p"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && found=$p
  done
  echo "$found"
}
server_pid() { prefix_pid wineserver; }
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

# skalenor.cfg from the demo: FreqStream, shown channels, graphs.
configure_case() {  # dir rate shown graphs ftime record
  local dir=$1 rate=$2 shown=$3 graphs=$4 ftime=$5 record=$6
  mkdir -p "$dir"; rm -rf "$dir/Data"
  LC_ALL=C sed -e "s/^FreqStream = .*/FreqStream = $rate/" -e "s/^Ftime = .*/Ftime = $ftime/" \
    -e "s/^rWnd = .*/rWnd = 0,0,0,0/" "$root/demo/skalenor.cfg" |
  LC_ALL=C awk -v shown="$shown" -v graphs="$graphs" -v record="$record" '
    /^[0-9]+Channel = / { n = $1 + 0; print n "Channel = " (n <= shown ? n : 0); next }
    /^FlagRec[0-9]+ = / { print substr($1, 1) " = " record; next }
    /^Interval[0-9]+ = / { print $1 " = 500"; next }
    /^rPlot = / { r = ""; for (g = 0; g < 4; ++g) r = r (g ? ", " : "") (g < graphs ? (20 + 300 * g) ",500," (320 + 300 * g) ",800" : "0,0,0,0"); print "rPlot = " r; next }
    /^chPlot = / { print "chPlot = 1,2,3,4,5,6,7,8, 9,10,11,12,13,14,15,16, 17,18,19,20,21,22,23,24, 25,26,27,28,29,30,31,32"; next }
    { print }' > "$dir/skalenor.cfg"
  { echo "board = KV320"; for n in $(seq 1 32); do echo "ch$n = sine $((n % 5 + 1)) 0.$n"; done; } > "$dir/kvsim.cfg"
}

run_program_case() {  # name rate shown graphs ftime record
  local name=$1 dir="$build/cpu-bench/$1"
  configure_case "$dir" "$2" "$3" "$4" "$5" "$6"
  ( cd "$dir" && exec "$WINE" "$build/skalenor.exe" ) >/dev/null 2>&1 &
  sleep 12
  [ "$6" = 1 ] && wine "$build/cpu_helper.exe" record >/dev/null 2>&1 && sleep 2
  local pid; pid=$(prefix_pid 'skalenor.exe')
  [ -n "$pid" ] && measure "$name" "$pid" || echo "$name: the program did not start"
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
    graphs4)  run_program_case "$c" 1000 32 4 100 0 ;;
    startup)
      dir="$build/cpu-bench/startup"; configure_case "$dir" 1000 32 0 100 0
      for i in 1 2 3; do ( cd "$dir" && "$WINE" "$build/cpu_helper.exe" startup "$(winpath "$build/skalenor.exe")" ); done ;;
    *) echo "unknown case $c" >&2 ;;
  esac
done
