#!/usr/bin/env bash
# A person's whole use of the player; screenshots kept. Usage: e2e_listen.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/heard.raw
shots=$build/screenshots
mkdir -p "$shots"
start_xvfb
AREA=160x108+40+28  # the simulated screen below the status bar

# At a person's pace: the player drops what comes in the pause after a step.
circle() {  # FROM_DEGREES TO_DEGREES
  local a
  ring_to "$1"
  xdotool mousedown 1
  for a in $(seq "$(($1 + 12))" 12 "$2"); do
    ring_to "$a"
    sleep "$PACE"
  done
  xdotool mouseup 1
}
# The last 64 KB the driver wrote are silence, and they came after the mark.
silent_after() {  # MARK
  local size
  size=$(size_of_heard)
  [ "$size" -gt $(($1 + 65536)) ] && [ "$(loud_bytes $((size - 65536)))" = 0 ]
}

demo=$build/demo/"Vesk Demo"
mkdir -p "$VESK_MUSIC_DIR/Album" "$VESK_MUSIC_DIR/Other"
cp "$demo/Morning/01 Sunrise.mp3" "$VESK_MUSIC_DIR/Album/01 Sunrise.mp3"
cp "$demo/Morning/02 Coffee Walk.mp3" "$VESK_MUSIC_DIR/Album/02 Coffee Walk.mp3"
cp "$demo/Evening/01 Dusk.mp3" "$VESK_MUSIC_DIR/Album/03 Dusk.mp3"
cp "$demo/Evening/02 Lanterns.mp3" \
  "$VESK_MUSIC_DIR/Album/04 Lanterns Along The Harbour Wall In The Long Summer Rain.mp3"

start_player
look main
press Return "Browse lists the music folder"
press Return "the first folder, Album, opens"
shot "$PLAYER" "$shots/listing-cut-row.png"
press Down "the second file is selected"
look chosen

mark=$(size_of_heard)
press Return "the file starts and the Now Playing panes show"
expect "the file is heard" heard_since "$mark"
press Right "forward skips to the next file"
mark=$(size_of_heard)
expect "the next file is heard" heard_since "$mark"

xdotool key space
mark=$(size_of_heard)
expect "pause silences the output" silent_after "$mark"
expect "the paused panes come to rest" settled
look paused
circle 90 270
expect "the wheel shows the volume" screen_differs paused
# Paused, the panes stand still: as before once the volume bar gives way.
expect "the volume bar gives way to Now Playing" screen_is paused

press Return "the centre button enters Seek"
look seek
circle 90 200
expect "the wheel moves the seek position" screen_differs seek

press Escape "the menu button leaves the Now Playing panes"
expect "the listing shows with the started file's row selected" screen_is chosen
press Down "the file that played last is selected"
look dusk
press Escape "up to the music folder"
press Escape "up to the Main menu"
screen_differs main || fail "the Main menu gained no rows"

press Down "Last Played is selected"
press Return "Last Played opens the folder"
expect "Last Played lists the folder with the file that played last selected" screen_is dusk
press Escape "up to the music folder"
press Escape "up to the Main menu"
for _ in 1 2 3 4 5 6; do press Down "moving down to Now Playing, the last row"; done
shot "$PLAYER" "$shots/main-last-played-now-playing.png"
press Up "back to Sleep"
xdotool key Return
finish "Sleep"
saved '"LastPld"="\\Album\\"' '"LastTrk"="03 Dusk.mp3"'
volume=$(sed -n 's/^"Volume"=dword://p' "$SETTINGS")
[ -n "$volume" ] && [ "$volume" != 00000032 ] || fail "the wheel did not change the volume: $volume"

# No music folder: the demo music is the root.
unset VESK_MUSIC_DIR
rm "$SETTINGS"
start_player
press Return "Browse lists the demo music"
press Return "the demo folder opens"
press Return "its first folder, Evening, opens"
mark=$(size_of_heard)
press Return "a demo piece starts"
expect "the demo piece is heard" heard_since "$mark"
shot "$PLAYER" "$shots/now-playing-demo.png"
kill -TERM "$pid"
finish "SIGTERM"
saved '"LastPld"="\\Vesk Demo\\Evening\\"'
echo "PASS: $(ls "$shots" | tr '\n' ' ')"
