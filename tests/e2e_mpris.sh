#!/usr/bin/env bash
# The media controls on a private session bus (dbus-run-session), driven by
# playerctl as a desktop would: a stand-in player (tests/tool_mpris.cpp)
# reports a track and prints the commands that reach its window. Without a
# session bus the same player runs silently. The real player under the same
# controls: e2e_mpris_player.sh.
# Usage: e2e_mpris.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VESK_ON_TEST_BUS:-}" ]; then
  VESK_ON_TEST_BUS=1 exec dbus-run-session -- "$here/e2e_mpris.sh" "$build"
fi
source "$here/../tools/xvfb.sh"
has_lines() { [ "$(grep -cxE -- "$2" "$1" 2>/dev/null)" -ge "${3:-1}" ]; }  # FILE LINE [COUNT]
wait_for() {  # FILE LINE [COUNT]: waits until lines of the file match (COUNT of them)
  wait_until has_lines "$@" || fail "no \"$2\" in $1: $(tr '\n' '|' <"$1")"
}

# Silent without a bus.
DBUS_SESSION_BUS_ADDRESS=unix:path=$WORK/none \
  "$build/tool_mpris" /song.mp3 >"$WORK/alone.out" 2>"$WORK/alone.err" &
alone=$!
wait_for "$WORK/alone.out" ready
kill -0 "$alone" || fail "the player without a bus ended"
kill "$alone"
[ ! -s "$WORK/alone.err" ] || fail "without a bus: $(cat "$WORK/alone.err")"

song="/Morning songs/01 Sunrise.mp3"
"$build/tool_mpris" "$song" >"$WORK/commands" &
wait_for "$WORK/commands" ready
on_bus() { playerctl -l 2>/dev/null | grep -qx vesk; }
wait_until on_bus || fail "playerctl does not list the player"
p() { playerctl -p vesk "$@"; }
dbus-monitor --session "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'" \
  >"$WORK/seeked" 2>/dev/null &
p --follow status >"$WORK/status" 2>/dev/null &

# What the player reported, as playerctl reads it: property, expected value.
while IFS='|' read -r what expected; do
  # shellcheck disable=SC2086
  got=$(p $what)
  [ "$got" = "$expected" ] || fail "playerctl $what: \"$got\", not \"$expected\""
done <<EOF2
status|Paused
metadata xesam:title|Sunrise — early
metadata xesam:artist|Vesk Demo
metadata xesam:album|Morning
metadata xesam:url|file://${VESK_MUSIC_DIR// /%20}/Morning%20songs/01%20Sunrise.mp3
metadata mpris:length|30000000
metadata mpris:trackid|'/org/mpris/MediaPlayer2/Track/1'
loop|Playlist
shuffle|Off
volume|0.500000
position|5.000000
EOF2
property() {  # INTERFACE NAME: its value as dbus-send prints it, on one line
  dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.vesk \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get "string:$1" "string:$2" | xargs
}
while IFS='|' read -r interface name expected; do
  got=$(property "org.mpris.$interface" "$name")
  [ "$got" = "$expected" ] || fail "$name: $got, not $expected"
done <<EOF2
MediaPlayer2|Identity|variant Vesk
MediaPlayer2|DesktopEntry|variant org.mireva.Vesk
MediaPlayer2|CanQuit|variant boolean true
MediaPlayer2|CanRaise|variant boolean true
MediaPlayer2|HasTrackList|variant boolean false
MediaPlayer2.Player|CanGoNext|variant boolean true
MediaPlayer2.Player|CanGoPrevious|variant boolean true
MediaPlayer2.Player|CanSeek|variant boolean true
MediaPlayer2.Player|CanControl|variant boolean true
EOF2

# Commands: what playerctl is told, and the command line the window gets
# (the WM_APPCOMMAND number and its value).
while IFS='|' read -r what expected; do
  # shellcheck disable=SC2086
  p $what
  wait_for "$WORK/commands" "$expected"
done <<EOF2
play-pause|14 0
next|11 0
previous|12 0
stop|13 0
play|46 0
pause|47 0
volume 0.3|2050 30
volume 1.5|2050 100
position 12|2049 12000
loop Track|2052 1
loop None|2052 0
shuffle On|2051 1
EOF2
wait_for "$WORK/status" Playing  # the change the play-pause brought was announced
[ "$(p volume)" = 1.000000 ] || fail "the volume the player reported again"
grep -q "int64 12000000" "$WORK/seeked" || fail "no Seeked after the position was set"
p position 40   # beyond the track: nothing
p position 5-   # a seek back from about 12 s
wait_for "$WORK/commands" "2049 [6-9][0-9]{3}"
p position 60+  # a seek past the end: the next track
wait_for "$WORK/commands" "11 0" 2
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vesk /org/mpris/MediaPlayer2 \
  org.mpris.MediaPlayer2.Player.Seek int64:9223372036854775807 >/dev/null  # no wrap to 0:00
wait_for "$WORK/commands" "11 0" 3
! grep -q "^2049 40000$" "$WORK/commands" || fail "a position beyond the track was taken"
call() {  # METHOD of org.mpris.MediaPlayer2
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vesk /org/mpris/MediaPlayer2 \
    "org.mpris.MediaPlayer2.$1" >/dev/null
}
! grep -qx shown "$WORK/commands" || fail "shown before Raise"
call Raise
wait_for "$WORK/commands" shown
call Quit
wait_for "$WORK/commands" quit

echo "PASS"
