#!/usr/bin/env bash
# The real player under Xvfb on a private session bus, controlled by
# playerctl as a desktop would while it plays the demo music (started with
# the player's own keys): the track's tags as mpg123 reads them, play-pause,
# next, previous, position, volume, loop and shuffle, each seen in the
# player's report and, where it lasts, in the settings Quit saves; Raise
# brings the window back after "Hide".
# Usage: e2e_mpris_player.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VESK_ON_TEST_BUS:-}" ]; then
  VESK_ON_TEST_BUS=1 exec dbus-run-session -- "$here/e2e_mpris_player.sh" "$build"
fi
source "$here/../tools/xvfb.sh"
source "$here/lib_e2e.sh"
# The disk driver plays at the pace of a sound card, so the time runs.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/sound.raw
start_xvfb
music=$VESK_MUSIC_DIR/Morning
cp -r "$build/demo/Vesk Demo/Morning" "$music"

p() { playerctl -p vesk "$@"; }
# shellcheck disable=SC2086
reported() { [ "$(p $1 2>/dev/null)" = "$2" ]; }  # WHAT VALUE
reports() {  # WHAT VALUE: playerctl reads the value, in time
  # shellcheck disable=SC2086
  wait_until reported "$1" "$2" || fail "playerctl $1: \"$(p $1 2>&1)\", not \"$2\""
}
hidden() { [ -z "$(visible_window)" ]; }
call() {  # METHOD of org.mpris.MediaPlayer2
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vesk /org/mpris/MediaPlayer2 \
    "org.mpris.MediaPlayer2.$1" >/dev/null
}
tag() {  # FILE NAME: the ID3 tag as mpg123 prints it; never nothing
  local value
  value=$(mpg123 -t -n 1 "$1" 2>&1 | sed -n "s/^[[:space:]]*$2:[[:space:]]*//p" |
    sed 's/[[:space:]]*$//')
  [ -n "$value" ] || fail "mpg123 printed no $2 for $1"
  echo "$value"
}
# The track's tags and address as the desktop sees them.
shows_track() {  # FILE
  local name=${1##*/} what value
  for what in Title Artist Album; do
    value=$(tag "$1" "$what")  # its failure ends the script
    reports "metadata xesam:${what,,}" "$value"
  done
  reports "metadata xesam:url" "file://${music// /%20}/${name// /%20}"
}

"$build/vesk" &
player=$!
PLAYER=$(wait_for_window "$player")
reports status Stopped
reports volume 0.500000

# "Hide", chosen with the scroll wheel and the centre key; Raise shows it again.
move_to $WHEEL_X $((WHEEL_Y + RING))
for row in 1 2 3; do notch 5 $row || fail "the wheel did not reach row $row"; done
xdotool key Return
wait_until hidden || fail "Hide did not hide the window"
call Raise
PLAYER=$(wait_for_window "$player")
move_to $WHEEL_X $((WHEEL_Y + RING))
for row in 2 1 0; do notch 4 $row || fail "the wheel did not come back to row $row"; done

# Browse, the folder, its first file: it plays.
first="$music/01 Sunrise.mp3" second="$music/02 Coffee Walk.mp3"
shot "$PLAYER" "$WORK/main.png" "$LIST"
xdotool key Return
wait_until list_differs "$WORK/main.png" || fail "Browse did not open"
shot "$PLAYER" "$WORK/root.png" "$LIST"
xdotool key Return
wait_until list_differs "$WORK/root.png" || fail "the folder did not open"
xdotool key Return
reports status Playing
shows_track "$first"
length=$(p metadata mpris:length)
[ "$length" -gt 10000000 ] || fail "the track's length: $length"

# Pause, and play on from there: the time runs again.
p play-pause
reports status Paused
at=$(p position)
[ -n "$at" ] || fail "playerctl gave no position"
p play-pause
reports status Playing
moved() {
  local now
  now=$(p position) && [ -n "$now" ] && [ "$now" != "$at" ]
}
wait_until moved || fail "the time stood while playing"

# Next and previous, paused so that previous goes back rather than restarts.
p pause
reports status Paused
p next
shows_track "$second"
reports status Paused
p previous
shows_track "$first"

# The place, while paused exactly where it was put.
p position 10
reports position 10.000000
p play
reports status Playing

# Volume, repeat and shuffle: reported back, and kept by Quit.
p volume 0.3
reports volume 0.300000
p loop Playlist
reports loop Playlist
p shuffle On
reports shuffle On
shows_track "$first"  # still: only an opened track brings a new one
call Quit
timeout 60 tail --pid="$player" -f /dev/null || fail "Quit did not end the player"
wait "$player" || fail "the player ended with an error"
while IFS='|' read -r setting; do
  grep -q "^$setting\$" "$SETTINGS" || fail "not saved: $setting"
done <<EOF2
"Volume"=dword:0000001e
"Repeat"=dword:00000002
"Shuffle"=dword:00000001
EOF2
echo "PASS"
