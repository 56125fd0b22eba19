#!/usr/bin/env bash
# Lists in the real player under Xvfb: a missing music folder said on the
# screen and on stderr; a listing of mixed names crossed with typed letters;
# Page Down, End and Home; ten scroll-wheel notches 20 ms apart moving ten
# rows. Leaves BUILD_FOLDER/screenshots/no-music.png.
# Usage: e2e_lists.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../tools/xvfb.sh"
start_xvfb

start_player() {
  "$build/vesk" 2>"$WORK/stderr" &
  player=$!
  PLAYER=$(wait_for_window "$player")
}
stop_player() {
  kill -TERM "$player"
  wait "$player" || fail "the player ended with an error"
}
# Whether the list shows anything but its background.
list_inked() {
  shot "$PLAYER" "$WORK/inked.png" "$LIST"
  [ "$(convert "$WORK/inked.png" -fill black +opaque "$UNLIT" -fill white -opaque "$UNLIT" \
    -format '%[fx:mean<1]' info:)" = 1 ]
}
key() {  # KEY...: presses them, then lets the list come to rest
  xdotool key "$@"
  wait_until settled || fail "the screen did not come to rest after $*"
}
type_letter() {  # LETTER ROW WHAT
  xdotool type "$1"
  wait_until row_selected "$2" || fail "typing $1: $3 is not selected at row $2"
}

# A missing music folder: stderr names it at start, the Browse listing stays
# empty and its area says so.
music=$VESK_MUSIC_DIR
export VESK_MUSIC_DIR=$WORK/no-such-music
start_player
grep -q "The music folder .*/no-such-music does not exist" "$WORK/stderr" ||
  fail "stderr did not name the missing music folder: $(cat "$WORK/stderr")"
wait_until row_selected 0 || fail "the Main menu did not show"
key Return
list_inked || fail "the empty listing says nothing"
mkdir -p "$build/screenshots"
shot "$PLAYER" "$build/screenshots/no-music.png"
stop_player

# Typed letters select the next row that begins with them, case and accents
# aside, in the listing 10, 9, a, B, Çà, cz, É.
export VESK_MUSIC_DIR=$music
mkdir -p "$music/Mixed" "$music/Twenty"
for name in a B Çà cz É 10 9; do : >"$music/Mixed/$name.mp3"; done
for letter in a b c d e f g h i j k l m n o p q r s t; do : >"$music/Twenty/$letter song.mp3"; done
start_player
key Return Return  # Browse, then Mixed, the first folder
wait_until row_selected 0 || fail "the Mixed folder did not open"
type_letter e 5 "É, the last of seven rows,"
type_letter a 1 "a"
type_letter 9 0 "9"
type_letter c 3 "Çà, beside the other c"
type_letter c 4 "cz"
type_letter b 2 "B"

# Page Down moves six rows, End and Home go to the ends: the same rows as the
# letters of the twenty rows "a song" to "t song" select.
key Escape Down Return  # up, and into Twenty
wait_until row_selected 0 || fail "the Twenty folder did not open"
shot "$PLAYER" "$WORK/home.png" "$LIST"
key Next
list_differs "$WORK/home.png" || fail "Page Down did nothing"
shot "$PLAYER" "$WORK/page-down.png" "$LIST"
key Home
list_is "$WORK/home.png" || fail "Home did not go back to the first row"
xdotool type g
wait_until list_is "$WORK/page-down.png" || fail "Page Down did not select the seventh row"
key End
shot "$PLAYER" "$WORK/end.png" "$LIST"
key Home
xdotool type t
wait_until list_is "$WORK/end.png" || fail "End did not select the last row"

# Ten notches 20 ms apart, most of them during the pauses after steps: ten
# rows, the same picture as typing k, the eleventh letter.
key Home
xdotool type k
wait_until row_selected 5 || fail "typing k"
shot "$PLAYER" "$WORK/k.png" "$LIST"
key Home
move_to $WHEEL_X $((WHEEL_Y + RING))
xdotool click --repeat 10 --delay 20 5
wait_until list_is "$WORK/k.png" || fail "ten notches did not move ten rows"
stop_player
echo "PASS"
