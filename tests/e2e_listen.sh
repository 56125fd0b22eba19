#!/usr/bin/env bash
# A person's whole use of the player, in a real window under Xvfb with the
# sound written to a file by SDL's disk driver: browse into a folder, start a
# file and hear it, skip, pause, turn the volume with the wheel, seek, go
# back to the same row, use Last Played, quit with Sleep, and find it all
# again after a restart. Then the demo music as the music root of a user who
# has none. Keeps its screenshots in BUILD_FOLDER/screenshots.
# Usage: e2e_listen.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export SDL_AUDIODRIVER=disk
source "$here/../tools/xvfb.sh"
export SDL_DISKAUDIOFILE=$WORK/heard.raw
shots=$build/screenshots
mkdir -p "$shots"
start_xvfb

# The simulated screen's areas in window pixels, at the window's scale.
scale=1
crop() {  # NAME LEFT TOP RIGHT BOTTOM (client pixels of the 240 x 320 player)
  import -window "$win" "$WORK/$1.png"
  convert "$WORK/$1.png" -crop "$(( ($4 - $2) * scale ))x$(( ($5 - $3) * scale ))+$(( $2 * scale ))+$(( $3 * scale ))" \
    +repage "$WORK/$1.png"
}
list_area() { crop "$1" 40 28 191 136; }     # MenuList
screen_area() { crop "$1" 40 28 200 136; }   # below the status bar
same() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 || true)" = 0 ]; }
list_changed_from() { list_area now && ! same now "$1"; }
screen_changed_from() { screen_area now && ! same now "$1"; }
list_is() { list_area now && same now "$1"; }
screen_is() { screen_area now && same now "$1"; }

key() { xdotool key --window "$win" "$@"; }
# The screen has settled: two looks in a row are the same.
settled() { screen_area settle_a && screen_area settle_b && same settle_a settle_b; }
# Presses a key and waits until the screen has changed and settled.
key_and_wait() {  # KEY WHAT
  screen_area before
  key "$1"
  wait_until "$2" screen_changed_from before
  wait_until "$2 (settling)" settled
}

# Turns the click wheel with the stylus (the mouse): from one angle to
# another around the wheel's centre, in small moves paced like a hand.
turn_wheel() {  # FROM_DEGREES TO_DEGREES
  local a x y
  for a in $(seq "$1" 6 "$2"); do
    read -r x y < <(awk -v a="$a" -v s="$scale" 'BEGIN {
      r = 45; t = a * 3.14159265 / 180
      printf "%d %d\n", (120 + r * cos(t)) * s, (210 + r * sin(t)) * s }')
    xdotool mousemove --window "$win" "$x" "$y"
    [ "$a" = "$1" ] && xdotool mousedown 1
    sleep 0.05
  done
  xdotool mouseup 1
}

# The last 64 KB written are silence and more has been written since a mark.
silent_after() {  # MARK
  local size
  size=$(size_of_heard)
  [ "$size" -gt $(( $1 + 65536 )) ] && [ "$(loud_bytes $(( size - 65536 )))" = 0 ]
}

start_player() {
  "$build/vesk" 2>>"$WORK/stderr" &
  pid=$!
  win=$(wait_for_window "$pid")
  scale=$(( $(xdotool getwindowgeometry "$win" | awk '/Geometry/ {split($2, g, "x"); print g[1]}') / 240 ))
  [ "$scale" -ge 1 ] || fail "window narrower than the player"
}
wait_for_exit() {
  local i
  for i in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; return 0; }
    sleep 0.1
  done
  fail "the player did not end"
}
settings() { cat "$XDG_CONFIG_HOME/vesk/settings.reg" 2>/dev/null || true; }

# --- A music folder of the user's own --------------------------------------
demo=$build/demo/"Vesk Demo"
mkdir -p "$VESK_MUSIC_DIR/Album" "$VESK_MUSIC_DIR/Other"
cp "$demo/Morning/01 Sunrise.mp3" "$VESK_MUSIC_DIR/Album/01 Sunrise.mp3"
cp "$demo/Morning/02 Coffee Walk.mp3" "$VESK_MUSIC_DIR/Album/02 Coffee Walk.mp3"
cp "$demo/Evening/01 Dusk.mp3" "$VESK_MUSIC_DIR/Album/03 Dusk.mp3"
cp "$demo/Evening/02 Lanterns.mp3" \
  "$VESK_MUSIC_DIR/Album/04 Lanterns Along The Harbour Wall In The Long Summer Rain.mp3"

start_player
screen_area main
key_and_wait Return "Browse lists the music folder"
key_and_wait Return "the first folder, Album, opens"
list_area album
import -window "$win" "$shots/listing-cut-row.png"
key_and_wait Down "the second file is selected"
list_area chosen

mark=$(size_of_heard)
key_and_wait Return "the file starts and the Now Playing panes show"
wait_until "the file is heard" heard_since "$mark"
screen_area playing

key_and_wait Right "forward skips to the next file"
mark=$(size_of_heard)
wait_until "the next file is heard" heard_since "$mark"

key space
mark=$(size_of_heard)
wait_until "pause silences the output" silent_after "$mark"
screen_area paused

turn_wheel 0 200
wait_until "the wheel shows the volume" screen_changed_from paused
# Paused, the Now Playing panes stand still: they look as before once the
# volume bar has gone after two idle seconds.
wait_until "the volume bar gives way to Now Playing" screen_is paused

key_and_wait Return "the centre button enters Seek"
screen_area seek
turn_wheel 90 200
wait_until "the wheel moves the seek position" screen_changed_from seek

key_and_wait Escape "the menu button leaves the Now Playing panes"
wait_until "the listing shows with the started file's row selected" list_is chosen
key_and_wait Escape "up to the music folder"
key_and_wait Escape "up to the Main menu"
import -window "$win" "$shots/main-last-played-now-playing.png"
screen_changed_from main || fail "the Main menu gained no rows"

key_and_wait Down "Last Played is selected"
key_and_wait Return "Last Played opens the folder"
wait_until "Last Played lists the folder of the started file" list_is album
key_and_wait Escape "up to the music folder"
key_and_wait Escape "up to the Main menu"
for _ in 1 2 3 4 5; do key_and_wait Down "moving to Sleep"; done
key Return
wait_for_exit

settings | grep -qF '"LastPld"="\\Album\\"' || fail "the last played folder was not saved: $(settings)"
settings | grep -q '"Volume"=dword:' || fail "no volume saved"
settings | grep -q '"Volume"=dword:00000032' && fail "the wheel did not change the volume"

start_player
screen_area restarted
same restarted main && fail "after a restart the Main menu has no Last Played row"
key_and_wait Down "Last Played is selected after the restart"
key_and_wait Return "Last Played opens after the restart"
wait_until "Last Played lists the same folder after the restart" list_is album
kill -TERM "$pid"
wait_for_exit

# --- No music folder: the demo music is the root -----------------------------
unset VESK_MUSIC_DIR
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config-demo
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
start_player
key_and_wait Return "Browse lists the demo music"
key_and_wait Return "the demo folder opens"
key_and_wait Return "its first folder, Evening, opens"
mark=$(size_of_heard)
key_and_wait Return "a demo piece starts"
wait_until "the demo piece is heard" heard_since "$mark"
import -window "$win" "$shots/now-playing-demo.png"
kill -TERM "$pid"
wait_for_exit
settings | grep -qF '"LastPld"="\\Vesk Demo\\Evening\\"' ||
  fail "the demo folder was not the music root: $(settings)"

echo "PASS: $(ls "$shots" | tr '\n' ' ')"
