#!/usr/bin/env bash
# The real player on screens smaller than its own 240 x 320 (a handheld's
# 160 x 128, and 240 x 300): it fills the screen with the whole picture scaled
# down and letter-boxed, a tap lands where the picture shows it, and it
# survives every window size, 1 x 1 and 5000 x 1 included.
# Usage: e2e_small_screens.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(dirname "$0")
source "$here/../tools/xvfb.sh"
source "$here/lib_e2e.sh"

# Screen 160 x 128: the picture is 96 x 128, 32 pixels in from the left.
start_xvfb 160x128
"$build/vesk" &
player=$!
id=$(wait_for_player_window "$player")
wait_until window_is "$id" 160x128 || fail "the window does not fill the screen"
wait_until shows "$id" 72 22 "$UNLIT" || fail "the screen is not shown scaled down: $(seen "$id" 72 22)"
[ "$(seen "$id" 5 5)" = "#000000" ] || fail "no letter box beside the picture"
[ "$(seen "$id" 40 2)" = "#F7F7F7" ] || fail "the frame is not shown"

# "Settings", the second row, at screen (100, 55): a tap there selects it.
xdotool mousemove --window "$id" 72 22 click 1
wait_until shows_not "$id" 72 22 "$UNLIT" || fail "the tap did not land on the row it shows"

for size in "100 100" "240 160" "10 10" "5000 1" "1 1" "1 5000" "333 517" "160 128"; do
  xdotool windowsize "$id" $size
  wait_until window_is "$id" "${size/ /x}" || fail "the window did not take the size $size"
  kill -0 "$player" || fail "the player ended at the size $size"
done
wait_until shows_not "$id" 72 22 "$UNLIT" || fail "the picture is gone after the resizes"
kill -TERM "$player"
wait "$player" || fail "the player did not end with 0 after the resizes"
stop_screen

# Screen 240 x 300: the picture is 225 x 300, 7 pixels in from the left.
start_xvfb 240x300
"$build/vesk" &
player=$!
id=$(wait_for_player_window "$player")
wait_until window_is "$id" 240x300 || fail "the window does not fill the 240 x 300 screen"
wait_until shows "$id" 101 122 "$UNLIT" || fail "the screen is not shown: $(seen "$id" 101 122)"
[ "$(seen "$id" 2 150)" = "#000000" ] || fail "no letter box beside the picture"
kill -TERM "$player"
wait "$player" || fail "the player did not end with 0"
echo "PASS"
