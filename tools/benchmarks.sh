#!/usr/bin/env bash
# Measures the player under Xvfb: the benchmarks of bench/, the time from
# start to the first frame on the screen (against a bare SDL window in the
# same run), peak memory, and how often an idle player wakes up.
# Usage: tools/benchmarks.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "${1:?usage: tools/benchmarks.sh BUILD_FOLDER}" && pwd)
source "$(dirname "$0")/xvfb.sh"
start_xvfb

"$build/vesk_bench" --benchmark_min_time=0.2

# Milliseconds from exec to the first frame, median of the runs.
first_frame_ms() {  # PROGRAM
  local runs=() i start stamp pid
  for i in $(seq 9); do
    start=$(date +%s.%N)
    VESK_REPORT_FIRST_FRAME=1 "$1" 2>"$WORK/stamp" &
    pid=$!
    for _ in $(seq 200); do grep -q "first frame" "$WORK/stamp" && break; sleep 0.01; done
    stamp=$(sed -n 's/^first frame at //p' "$WORK/stamp")
    kill -TERM "$pid"
    wait "$pid" || true
    runs+=("$(awk -v a="$stamp" -v b="$start" 'BEGIN {printf "%.3f", (a - b) * 1000}')")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 5p | xargs printf '%.1f'
}
bare=$(first_frame_ms "$build/bare_window")
player=$(first_frame_ms "$build/vesk")
echo "start to first frame: player ${player} ms, bare SDL window ${bare} ms," \
     "ratio $(awk -v a="$player" -v b="$bare" 'BEGIN {printf "%.2f", a / b}')"

# The same with 1 MiB of junk in the settings file.
mkdir -p "$XDG_CONFIG_HOME/vesk"
awk 'BEGIN { while (n < 1048576) { print "; junk"; print ""; n += 8 } }' \
  >"$XDG_CONFIG_HOME/vesk/settings.reg"
junk=$(first_frame_ms "$build/vesk")
rm "$XDG_CONFIG_HOME/vesk/settings.reg"
echo "start to first frame with 1 MiB of junk settings: ${junk} ms," \
     "ratio to a clean file $(awk -v a="$junk" -v b="$player" 'BEGIN {printf "%.2f", a / b}')"

# Peak memory and idle wake-ups of a running player.
"$build/vesk" &
pid=$!
wait_for_window "$pid" >/dev/null
sleep 2
switches() { cat /proc/"$pid"/task/*/status | awk '/voluntary_ctxt_switches/ {n += $2} END {print n}'; }
cpu() { awk '{print $14 + $15}' /proc/"$pid"/stat; }
s0=$(switches) c0=$(cpu)
sleep 10
s1=$(switches) c1=$(cpu)
echo "peak memory: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)"
echo "idle for 10 s: $(( (s1 - s0) )) wake-ups (all threads), $(( (c1 - c0) * 10 )) ms of CPU"
kill -TERM "$pid"
wait "$pid" || true
