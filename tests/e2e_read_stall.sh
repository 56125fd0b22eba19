#!/usr/bin/env bash
# A read of the playing file stalls; the window answers at once. Usage: e2e_read_stall.sh BUILD
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/heard.raw
start_xvfb

# 20 s of music, read in blocks of 64 KiB, about 9 s each.
mkdir -p "$VESK_MUSIC_DIR/Slow"
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$VESK_MUSIC_DIR/Slow/"
export VESK_STALL_PATH=/Slow/ VESK_STALL_FLAG=$WORK/stall
start_player env LD_PRELOAD="$build/tests/libstall_reads.so" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$build/vesk"
xdotool key Return
expect "the root listed" row_selected 0
xdotool key Return
expect "the folder listed" row_selected 0
xdotool key Return
expect "the piece heard" heard_since 0

ICON=9x9+50+12  # the status bar's play state
AREA=$ICON look playing
touch "$WORK/stall"
expect "a read of the piece stalled" test -e "$WORK/stall.stalled"
export WAIT_TENTHS=50  # the read stays held until the end: the window must answer at once
xdotool key space
AREA=$ICON expect "paused while a read waits" screen_differs playing
xdotool key space
AREA=$ICON expect "playing again while a read waits" screen_is playing
kill -TERM "$pid"
finish "the player quit while a read waits"
