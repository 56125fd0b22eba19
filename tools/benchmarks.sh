#!/usr/bin/env bash
# Measures the player under Xvfb: the benchmarks of bench/, the time from
# start to the first frame on the screen (against a bare SDL window in the
# same run), peak memory, and how often an idle player wakes up.
# Usage: tools/benchmarks.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "${1:?usage: tools/benchmarks.sh BUILD_FOLDER}" && pwd)
source "$(dirname "$0")/xvfb.sh"
start_xvfb

"$build/vesk_bench" --benchmark_min_time=0.2 --benchmark_filter='-Sound|StartingFontconfig'
# Alone in a process, so that its one draw also starts fontconfig.
"$build/vesk_bench" --benchmark_filter=StartingFontconfig

# Milliseconds from exec to the first frame of one run.
first_frame_once() {  # PROGRAM
  local start stamp pid
  start=$(date +%s.%N)
  VESK_REPORT_FIRST_FRAME=1 "$1" 2>"$WORK/stamp" &
  pid=$!
  for _ in $(seq 200); do grep -q "first frame" "$WORK/stamp" && break; sleep 0.01; done
  stamp=$(sed -n 's/^first frame at //p' "$WORK/stamp")
  kill -TERM "$pid"
  wait "$pid" || true
  awk -v a="$stamp" -v b="$start" 'BEGIN {printf "%.3f\n", (a - b) * 1000}'
}
median() { sort -n | sed -n 5p | xargs printf '%.1f'; }  # of 9 lines
first_frame_ms() {  # PROGRAM: the median of 9 runs
  for _ in $(seq 9); do first_frame_once "$1"; done | median
}
bare=$(first_frame_ms "$build/bare_window")
player=$(first_frame_ms "$build/vesk")
echo "start to first frame: player ${player} ms, bare SDL window ${bare} ms," \
     "ratio $(awk -v a="$player" -v b="$bare" 'BEGIN {printf "%.2f", a / b}')"

# The same with 1 MiB of junk in the settings file.
mkdir -p "$XDG_CONFIG_HOME/vesk"
awk 'BEGIN { while (n < 1048576) { print "; junk"; print ""; n += 8 } }' \
  >"$SETTINGS"
junk=$(first_frame_ms "$build/vesk")
rm "$SETTINGS"
echo "start to first frame with 1 MiB of junk settings: ${junk} ms," \
     "ratio to a clean file $(awk -v a="$junk" -v b="$player" 'BEGIN {printf "%.2f", a / b}')"

# The same with a track to resume (a 20 s piece, opened paused after the
# first frame), taking turns with a start without one so that a busy machine
# weighs on both alike.
mkdir -p "$WORK/config-resume/vesk" "$VESK_MUSIC_DIR/Album"
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$VESK_MUSIC_DIR/Album/"
printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Mireva\Vesk]' \
  '"LastPld"="\\Album\\"' '"LastTrk"="01 Sunrise.mp3"' '"LastPos"=dword:00002710' \
  >"$WORK/config-resume/vesk/settings.reg"
for _ in $(seq 9); do
  first_frame_once "$build/vesk" >>"$WORK/without"
  XDG_CONFIG_HOME=$WORK/config-resume first_frame_once "$build/vesk" >>"$WORK/with"
done
without=$(median <"$WORK/without") with=$(median <"$WORK/with")
grep -q '"LastTrk"="01 Sunrise.mp3"' "$WORK/config-resume/vesk/settings.reg" ||
  echo "the track to resume was lost" >&2
rm -r "$VESK_MUSIC_DIR/Album"
echo "start to first frame with a track to resume: ${with} ms against ${without} ms without," \
     "ratio $(awk -v a="$with" -v b="$without" 'BEGIN {printf "%.2f", a / b}')"

# Peak memory and idle wake-ups of a running player, first alone, then with
# the media controls connected to a session bus of its own.
# Wake-ups are counted per thread: the sound device's thread ends a few
# seconds after the last sound, and its count must not leave the sum.
switches() {  # FILE: each thread's voluntary context switches so far
  local task
  for task in /proc/"$pid"/task/*; do
    echo "${task##*/} $(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")"
  done >"$1"
}
woken() {  # BEFORE AFTER: wake-ups in between of the threads alive at the end
  awk 'NR == FNR {was[$1] = $2; next} {n += $2 - was[$1]} END {print n}' "$1" "$2"
}
cpu() { awk '{print $14 + $15}' /proc/"$pid"/stat; }
idle() {  # WHAT [ENVIRONMENT...]
  local what=$1 c0 c1
  shift
  env "$@" "$build/vesk" &
  pid=$!
  wait_for_window "$pid" >/dev/null
  WAIT_TENTHS=50 wait_until env "$@" playerctl -p vesk status >/dev/null 2>&1 &&
    what="$what (on the bus)"
  sleep 2
  switches "$WORK/s0"
  c0=$(cpu)
  sleep 10
  switches "$WORK/s1"
  c1=$(cpu)
  echo "peak memory$what: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)"
  echo "idle for 10 s$what: $(woken "$WORK/s0" "$WORK/s1") wake-ups (all threads), $(( (c1 - c0) * 10 )) ms of CPU"
  kill -TERM "$pid"
  wait "$pid" || true
}
idle "" DBUS_SESSION_BUS_ADDRESS=unix:path=$WORK/no-bus
dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" &
wait_until test -s "$WORK/bus"
bus=$(head -n 1 "$WORK/bus")
idle " with the session bus" DBUS_SESSION_BUS_ADDRESS="$bus"

# Sound: a 10 MB MP3 of 128 kbit/s without a Xing header (the test tone
# over and over, decoded and encoded again with lame -t), and a minute of it
# at 48 kHz (a usual device's rate) and at 44.1 kHz.
music=$WORK/music
mkdir -p "$music"
tone=$(dirname "$0")/../tests/data/mono_48k_cbr_noxing.mp3
for _ in $(seq 620); do cat "$tone"; done >"$WORK/long.mp3"
mpg123 -q -r 44100 --stereo -w "$WORK/long.wav" "$WORK/long.mp3"
lame --quiet -b 128 -t "$WORK/long.wav" "$music/big.mp3"
for rate in 48000 44100; do
  mpg123 -q -r "$rate" --stereo -n 2500 -w "$WORK/minute.wav" "$WORK/long.mp3"
  lame --quiet -b 128 "$WORK/minute.wav" "$music/minute-$rate.mp3"
done
VESK_BENCH_FILE=$music/big.mp3 "$build/vesk_bench" --benchmark_filter=Sound | tee "$WORK/sound.txt"
# Decoding throughput against mpg123 -t decoding the same file to the same
# output: floats at the file's own rate, and at 48 kHz (a usual device) by
# the same NtoM resampler. Ratios are mpg123's time over the back end's, in
# wall time and in CPU (the whole process's, steadier on a busy machine).
decode_against_mpg123() {  # RATE [MPG123 OPTIONS...]
  local rate=$1 start end ours
  shift
  start=$(date +%s.%N)
  /usr/bin/time -o "$WORK/cpu" -f "%U %S" mpg123 -q -t -e f32 "$@" "$music/big.mp3"
  end=$(date +%s.%N)
  ours=$(awk -v r="DecodeWholeFile/$rate/" 'index($1, r) {print $2, $4}' "$WORK/sound.txt")
  awk -v s="$start" -v e="$end" -v ours="$ours" -v rate="$rate" '
    BEGIN { split(ours, o, " "); wall = (e - s) * 1000; getline < ARGV[1]; cpu = ($1 + $2) * 1000
      printf "decoding at %d Hz: back end %.0f ms (%.0f ms of CPU), mpg123 -t %.0f ms (%.0f ms): ratio %.2f (CPU %.2f)\n",
        rate, o[1], o[2], wall, cpu, wall / o[1], cpu / o[2] }' "$WORK/cpu"
}
decode_against_mpg123 44100
decode_against_mpg123 48000 -r 48000 --resample NtoM

# The same decoding counted in instructions by callgrind, which a busy machine
# does not sway: the reference decoder whole, against the back end's decoder
# thread and the thread that pulls its output (the benchmark's own start-up
# left out), at the file's own rate.
instructions() {  # CALLGRIND_FILE: millions of instructions
  awk '/^summary:/ {printf "%.0f", $2 / 1e6}' "$1"
}
decoding_instructions() {  # FILE RATE REFERENCE-COMMAND...
  local file=$1 rate=$2 reference decoder puller
  shift 2
  valgrind --tool=callgrind --callgrind-out-file="$WORK/cg.reference" "$@" >/dev/null 2>&1
  VESK_BENCH_FILE=$file valgrind --tool=callgrind --separate-threads=yes \
    --callgrind-out-file="$WORK/cg.vesk" "$build/vesk_bench" \
    --benchmark_filter="DecodeWholeFile/$rate" >/dev/null 2>&1
  reference=$(instructions "$WORK/cg.reference")
  decoder=$(instructions "$WORK/cg.vesk-02")
  puller=$(callgrind_annotate --inclusive=yes "$WORK/cg.vesk-01" |
    awk '/PullAudioSinkForTests/ && !seen++ {gsub(",", "", $1); printf "%.0f", $1 / 1e6}')
  echo "decoding ${file##*/} in instructions: $1 ${reference} million, the back end's decoder" \
       "thread ${decoder} million (ratio $(awk -v a="$reference" -v b="$decoder" 'BEGIN {printf "%.2f", a / b}')), with the" \
       "pull to the output ${puller} million more (ratio" \
       "$(awk -v a="$reference" -v b="$((decoder + puller))" 'BEGIN {printf "%.2f", a / b}'))"
  rm -f "$WORK"/cg.vesk* "$WORK/cg.reference"
}
decoding_instructions "$music/big.mp3" 44100 mpg123 -q -t -e f32 "$music/big.mp3"

# Five minutes of music (the demo pieces over and over, in stereo) as
# FLAC, Ogg Vorbis and Opus: opening each to its first audio, and decoding
# each against its own reference decoder.
pieces=0
for piece in "$build/demo/Vesk Demo"/*/*.mp3; do
  mpg123 -q -r 44100 --stereo -w "$WORK/piece-$((++pieces)).wav" "$piece"
done
sox "$WORK"/piece-*.wav "$WORK"/piece-*.wav "$WORK"/piece-*.wav "$WORK"/piece-*.wav \
  "$WORK/five.wav" trim 0 5:00
flac -s -o "$music/five.flac" "$WORK/five.wav"
oggenc -Q -o "$music/five.ogg" "$WORK/five.wav"
opusenc --quiet "$WORK/five.wav" "$music/five.opus"
for format in flac ogg opus; do
  echo "five minutes of $format: $(du -h "$music/five.$format" | cut -f1)"
  VESK_BENCH_FILE=$music/five.$format "$build/vesk_bench" --benchmark_filter=SoundOpenTrack
done
decoding_instructions "$music/five.flac" 44100 flac -s -d -c "$music/five.flac"
decoding_instructions "$music/five.ogg" 44100 oggdec -Q -o - "$music/five.ogg"
decoding_instructions "$music/five.opus" 48000 opusdec --quiet "$music/five.opus" -

# CPU of the whole player playing a minute (a real window), against mpg123
# and ffplay playing the same file, all in real time to the null sink of a
# PulseAudio server of this run's own: the one output they can all play to.
pulse=$WORK/pulse
mkdir -m 700 "$pulse"
HOME=$pulse XDG_RUNTIME_DIR=$pulse pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --load="module-null-sink sink_name=null" --load=module-native-protocol-unix >/dev/null 2>&1 &
export PULSE_SERVER=unix:$pulse/pulse/native
wait_until pactl info >/dev/null 2>&1
cpu_ms() {  # PROGRAM...: CPU milliseconds of the whole run, and how often it waited
  VESK_MUSIC_DIR=$music SDL_AUDIODRIVER=pulseaudio \
    /usr/bin/time -o "$WORK/cpu" -f "%U %S %w" "$@" >/dev/null 2>&1
  awk '{printf "%d ms (%d waits)", ($1 + $2) * 1000, $3}' "$WORK/cpu"
}
# Each program's CPU varies by half from run to run here: pairs taken in turn, and their median.
ratios=()
for rate in 48000 44100 48000 44100; do
  file=$music/minute-$rate.mp3
  player=$(cpu_ms "$build/tool_play_track" "minute-$rate.mp3")
  mpg123=$(cpu_ms mpg123 -q -o pulse "$file")
  ratios+=("$(awk -v a="${player%% *}" -v b="${mpg123%% *}" 'BEGIN {printf "%.2f", a / b}')")
  echo "playing a minute at $rate Hz: player $player, mpg123 $mpg123: ratio ${ratios[-1]}"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{r[NR] = $1} END {print "median ratio " (r[2] + r[3]) / 2}'
echo "ffplay the same minute: $(cpu_ms ffplay -nodisp -autoexit -loglevel quiet "$file")"

# Wake-ups of the player while it plays, each thread apart, through SDL's
# disk driver (which keeps time as a device does) and through PulseAudio.
# The keys queue up Browse, the folder, its file.
mkdir -p "$WORK/wake/Minute"
cp "$music/minute-48000.mp3" "$WORK/wake/Minute/"
for driver in disk pulseaudio; do
  VESK_MUSIC_DIR=$WORK/wake SDL_AUDIODRIVER=$driver SDL_DISKAUDIOFILE=$WORK/out.raw "$build/vesk" &
  pid=$!
  win=$(wait_for_window "$pid")
  xdotool key --window "$win" Return Return Return
  sleep 3
  switches "$WORK/s0"
  sleep 20
  switches "$WORK/s1"
  busiest=$(awk 'NR == FNR {was[$1] = $2; next} $2 - was[$1] > 20 {print $1, ($2 - was[$1]) / 20}' \
    "$WORK/s0" "$WORK/s1" | while read -r task rate; do
    printf '%s %.1f, ' "$(cat "/proc/$pid/task/$task/comm")" "$rate"; done)
  echo "playing for 20 s through $driver: $(( $(woken "$WORK/s0" "$WORK/s1") / 20 )) wake-ups" \
       "a second (all threads; more than one a second: ${busiest%, })"
  kill -TERM "$pid"
  wait "$pid" || true
done

# While a read of the playing file is held for 10 s: how long pause, play,
# seek, volume and quit take, and how soon a click and a pause are mixed.
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$music/sunrise.mp3"
VESK_MUSIC_DIR=$music SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/out.raw \
  "$build/stall_probe" sunrise.mp3 >"$WORK/probe.txt"
end=$(date +%s.%N)
cat "$WORK/probe.txt"
awk -v e="$end" '/^quit at/ {printf "quit to the end of the process: %.0f ms\n", (e - $3) * 1000}' \
  "$WORK/probe.txt"

# A folder of 70,000 files with names of a usual length: entering it, against
# `ls -1` of the same folder in the same run, the memory the player then
# holds, and starting its first file. The folder is made in memory (tmpfs)
# when the machine has it, since a disk makes that many files slowly; one of
# them is a real MP3, the first row.
big=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "$WORK")/vesk-big-XXXXXX")
trap 'rm -rf "$big"; stop_all' EXIT
( cd "$big" && seq -f 'Ashgrove Quartet - Electric Harbour - %05g Night Road.mp3' 1 69999 |
  tr '\n' '\0' | xargs -0 touch )
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$big/00000 First.mp3"
export VESK_MUSIC_DIR=$WORK/big-root  # "Big" alone, the first row of Browse
mkdir -p "$VESK_MUSIC_DIR"
ln -s "$big" "$VESK_MUSIC_DIR/Big"
ms_since() { awk -v b="$1" -v a="${2:-$(date +%s.%N)}" 'BEGIN {printf "%.0f", (a - b) * 1000}'; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/heard.raw
VESK_REPORT_FRAMES=1 "$build/vesk" 2>"$WORK/frames" &
pid=$!
PLAYER=$(wait_for_window "$pid")
xdotool key --window "$PLAYER" Return  # Browse: the root lists "Big"
wait_until settled
# Once into the folder for the memory then held; then five times each, in
# turns: into the folder until the last frame that its key brought (the
# slide and the listing), and ls -1 of it.
xdotool key --window "$PLAYER" Return
wait_until settled
sleep 2
memory=$(awk '/VmRSS/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)
entering=() listed=()
for _ in 1 2 3 4 5; do
  xdotool key --window "$PLAYER" Escape
  wait_until settled
  start=$(date +%s.%N)
  xdotool key --window "$PLAYER" Return
  wait_until settled
  entering+=("$(ms_since "$start" "$(sed -n 's/^frame at //p' "$WORK/frames" | tail -n 1)")")
  start=$(date +%s.%N)
  ls -1 "$big" >/dev/null
  listed+=("$(ms_since "$start")")
done
echo "entering a folder of 70,000 files (median of 5): $(median "${entering[@]}") ms until its listing" \
     "is on the screen, ls -1 of it $(median "${listed[@]}") ms:" \
     "ratio $(awk -v a="$(median "${entering[@]}")" -v b="$(median "${listed[@]}")" 'BEGIN {printf "%.2f", a / b}')"
echo "memory held once in it: ${memory}, peak $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)"
start=$(date +%s.%N)
xdotool key --window "$PLAYER" Return
wait_until heard_since 0 || { echo "the first file of the big folder was not heard" >&2; exit 1; }
echo "starting the first of the 70,000 files until it is heard: $(awk -v b="$start" -v a="$(date +%s.%N)" 'BEGIN {printf "%.2f s", a - b}')"
sleep 2
echo "peak memory playing from a folder of 70,000 files: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)," \
     "now $(awk '/VmRSS/ {printf "%.1f MB", $2 / 1024}' /proc/"$pid"/status)"
kill -TERM "$pid"
wait "$pid" || true
