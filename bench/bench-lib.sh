# Sourced by the benchmarks: builds what they run, starts Xvfb and the Wine
# prefix (stopped on exit), and gives them the program's configurations and
# the processes of this prefix. Needs root and label set by the caller.
cd "$root"
source scripts/wine-bin.sh
build="$root/build/win32"; toolchain="$root/cmake/toolchain-mingw.cmake"
if ! can_run_32bit; then build="$root/build/win64"; toolchain="$root/cmake/toolchain-mingw64.cmake"; fi
echo "$label: $(basename "$build") under $(can_run_32bit && echo 32 || echo 64)-bit Wine"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" -j "$(nproc)" --target skalenor skalenor-close skalenor-export kvsim cpu_helper >/dev/null
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

