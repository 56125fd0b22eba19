#!/usr/bin/env bash
# The menus driven as a person would; screenshots kept. Usage: e2e_menus.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"
shots=$build/screenshots
mkdir -p "$shots"
start_xvfb

key() {  # KEY...: presses them, then lets the screen come to rest
  xdotool key "$@"
  expect "the screen did not come to rest after $*" settled
}

VESK_MUSIC_DIR=$WORK/no-such-music start_player
grep -q "The music folder .*/no-such-music does not exist" "$WORK/stderr" ||
  fail "stderr did not name the missing music folder: $(cat "$WORK/stderr")"
expect "the Main menu's first row is not selected" row_selected 0
press Return "Browse did not open"
shot "$PLAYER" "$shots/no-music.png"
kill -TERM "$pid"
finish "with no music folder"

# Folders A, B and C each hold a short tone titled in another script (ID3v2.3, UTF-16).
tone=$here/data/stereo_44k_cbr.mp3
byte() { printf "\\$(printf %03o "$1")"; }
song() {  # FOLDER TITLE
  mkdir -p "$VESK_MUSIC_DIR/$1"
  printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE >"$WORK/title"
  local size=$(($(stat -c %s "$WORK/title") + 3))  # with the encoding byte and the mark
  { printf 'ID3\3\0\0\0\0\0'; byte $((size + 10)); printf 'TIT2\0\0\0'; byte "$size"
    printf '\0\0\1\377\376'; cat "$WORK/title" "$tone"; } >"$VESK_MUSIC_DIR/$1/$2.mp3"
}
song A "東京"
song B "Ωя"
song C $'\xcd\xb8\xcd\xb8'  # U+0378 twice: unassigned, so no font has it
mkdir -p "$VESK_MUSIC_DIR/Twenty"
for letter in a b c d e f g h i j k l m n o p q r s t; do : >"$VESK_MUSIC_DIR/Twenty/$letter song.mp3"; done
# Repeat One, so that Now Playing stays while the short tone plays on.
printf '[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Repeat"=dword:00000001\n' >"$SETTINGS"
start_player
expect "the start screen's first row is not selected" row_selected 0

ring_to 90
xdotool mousedown 1
for step in 1 2 3 2 1; do
  turn_to $((90 + 12 * step)) "$step" || fail "the turn to row $step"
done
xdotool mouseup 1
shot "$PLAYER" "$WORK/main-settings.png" "$LIST"

# The centre button opens Settings; two notches down to Shuffle, which it toggles.
click_on $CENTRE
wait_until list_differs "$WORK/main-settings.png" || fail "Settings did not open"
expect "the first row of Settings is not selected" row_selected 0
move_to $WHEEL_X $((WHEEL_Y + RING))
for row in 1 2; do notch 5 $row || fail "the notch to row $row"; done
shot "$PLAYER" "$WORK/shuffle-off.png" "$LIST"
click_on $CENTRE
wait_until list_differs "$WORK/shuffle-off.png" || fail "the Shuffle row did not change"
expect "the toggled Shuffle row is not selected" row_selected 2

click_on $MENU
wait_until list_is "$WORK/main-settings.png" || fail "the menu button did not come back to Settings"

# Each name's row and title, against C's, which only boxes can show.
press Up "Browse is selected"
press Return "Browse lists the music folder"
for folder in A B C; do
  press Return "folder $folder opens"
  shot "$PLAYER" "$WORK/row-$folder.png" 151x18+40+28  # the listing's first row
  [ $folder = A ] && shot "$PLAYER" "$shots/listing-cjk.png"
  press Return "the file of folder $folder starts"
  shot "$PLAYER" "$WORK/title-$folder.png" 160x15+40+47  # the title in Now Playing
  [ $folder = A ] && shot "$PLAYER" "$shots/now-playing-cjk.png"
  press Escape "back to the listing of folder $folder"
  press Escape "up to the music folder"
  press Down "the next folder is selected"
done
for folder in A B; do
  pictures_differ "$WORK/row-$folder.png" "$WORK/row-C.png" || fail "the name in folder $folder is drawn as boxes"
  pictures_differ "$WORK/title-$folder.png" "$WORK/title-C.png" || fail "the title in folder $folder is drawn as boxes"
done

# Page Down and End select the rows the letters g and t do ("a song" to "t song").
key Return
expect "the Twenty folder's first row is not selected" row_selected 0
shot "$PLAYER" "$WORK/home.png" "$LIST"
key Next
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

move_to $PLAY_PAUSE
xdotool mousedown 1
wait_until ended || fail "holding play/pause for two seconds did not quit"
xdotool mouseup 1
finish "holding play/pause"
saved '"Shuffle"=dword:00000001'
echo "PASS"
