#!/usr/bin/env bash
# A read of the playing file that stalls (a USB disk spinning up, a network
# folder), in the real player and window (tests/stall_reads.cpp holds the
# reads): while it waits, pause, volume and play answer on the screen at
# once, and the player quits.
# Usage: e2e_read_stall.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
export SDL_AUDIODRIVER=disk
source "$(dirname "$0")/../tools/xvfb.sh"
export SDL_DISKAUDIOFILE=$WORK/heard.raw
start_xvfb
expect() {  # WHAT COMMAND...: waits for the condition
  local what=$1
  shift
  wait_until "$@" || fail "$what"
}

# 20 s of music, read in blocks of 64 KiB, about 9 s each.
mkdir -p "$VESK_MUSIC_DIR/Slow"
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$VESK_MUSIC_DIR/Slow/"
export VESK_STALL_PATH=/Slow/ VESK_STALL_FLAG=$WORK/stall
LD_PRELOAD=$build/tests/libstall_reads.so ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0 \
  "$build/vesk" 2>>"$WORK/stderr" &
pid=$!
PLAYER=$(wait_for_window "$pid")
xdotool key Return  # Browse
expect "the root listed" row_selected 0
xdotool key Return  # Slow
expect "the folder listed" row_selected 0
xdotool key Return  # the piece
expect "the piece heard" heard_since 0

# Whether a part of the screen shows what it showed when it was kept.
shows_kept() {  # NAME WxH+X+Y
  shot "$PLAYER" "$WORK/now.png" "$2" &&
    [ "$(compare -metric AE "$WORK/now.png" "$WORK/$1.png" null: 2>&1)" = 0 ]
}
changed() { ! shows_kept "$@"; }
ended() { ! kill -0 "$pid" 2>/dev/null; }
ICON=9x9+50+12 PLAY_VIEW=160x30+40+106  # the status bar's play state, the play view
shot "$PLAYER" "$WORK/playing.png" "$ICON"
touch "$WORK/stall"
expect "a read of the piece stalled" test -e "$WORK/stall.stalled"
export WAIT_TENTHS=50  # the read stays held until the end: the window must answer at once
xdotool key space
expect "paused while a read waits" changed playing "$ICON"
shot "$PLAYER" "$WORK/paused-view.png" "$PLAY_VIEW"
xdotool key Up
expect "the volume shown while a read waits" changed paused-view "$PLAY_VIEW"
xdotool key space
expect "playing again while a read waits" shows_kept playing "$ICON"
kill -TERM "$pid"
expect "the player quit while a read waits" ended
test -e "$WORK/stall" || fail "the stall ended early"
rm "$WORK/stall"
wait "$pid" || fail "the player's exit status was $?"
echo "e2e_read_stall: passed"
