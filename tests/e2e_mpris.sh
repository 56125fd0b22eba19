#!/usr/bin/env bash
# Controlled over a private session bus as a desktop would. Usage: e2e_mpris.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1" bus
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/heard.raw
start_xvfb
music=$VESK_MUSIC_DIR/Morning
cp -r "$build/demo/Vesk Demo/Morning" "$music"
first="$music/01 Sunrise.mp3" second="$music/02 Coffee Walk.mp3"

shows_track() {  # FILE: its tags as mpg123 prints them, and its address
  local name=${1##*/} what value
  for what in Title Artist Album; do
    value=$(mpg123 -t -n 1 "$1" 2>&1 | sed -n "s/^[[:space:]]*$what:[[:space:]]*//p" |
      sed 's/[[:space:]]*$//')
    [ -n "$value" ] || fail "mpg123 printed no $what for $1"
    reports "metadata xesam:${what,,}" "$value"
  done
  reports "metadata xesam:url" "file://${music// /%20}/${name// /%20}"
}
hidden() { [ -z "$(visible_window)" ]; }
played_past() { [ "$(p position | cut -d. -f1)" -ge "$1" ] 2>/dev/null; }  # SECONDS

start_player
reports status Stopped
reports volume 0.500000

# "Hide", by the scroll wheel and the centre key; Raise shows it again.
move_to $WHEEL_X $((WHEEL_Y + RING))
for row in 1 2 3; do notch 5 $row || fail "the wheel did not reach row $row"; done
xdotool key Return
expect "Hide did not hide the window" hidden
call Raise
PLAYER=$(wait_for_window "$pid")
move_to $WHEEL_X $((WHEEL_Y + RING))
for row in 2 1 0; do notch 4 $row || fail "the wheel did not come back to row $row"; done

p --follow status >"$WORK/status" &
dbus-monitor --session "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'" \
  >"$WORK/seeked" 2>/dev/null &
press Return "Browse did not open"
press Return "the folder did not open"
xdotool key Return
reports status Playing
shows_track "$first"
length=$(p metadata mpris:length)
[ "$length" -gt 10000000 ] || fail "the track's length: $length"
expect "the change to Playing was not announced" grep -qx Playing "$WORK/status"
while IFS='|' read -r interface name expected; do
  got=$(dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.vesk \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    "string:org.mpris.$interface" "string:$name" | xargs)
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

p play-pause
reports status Paused
at=$(p position)
p play-pause
reports status Playing
expect "the time stood while playing" played_past $((${at%.*} + 1))

# Paused, previous goes back rather than restarts; the furthest seek goes on, not back to 0:00.
p pause
reports status Paused
p next
shows_track "$second"
reports status Paused
p previous
shows_track "$first"
call Player.Seek int64:9223372036854775807
shows_track "$second"
p previous
shows_track "$first"

# The place, paused exactly where it was put; one beyond the track is not taken.
p position 3
reports position 3.000000
grep -q "int64 3000000" "$WORK/seeked" || fail "no Seeked after the position was set"
p position 40
p volume 1.5  # at most full, and seen once the position before it was handled
reports volume 1.000000
reported position 3.000000 || fail "a position beyond the track was taken: $(p position)"
p play
reports status Playing

p volume 0.3
reports volume 0.300000
p loop Playlist
reports loop Playlist
p shuffle On
reports shuffle On
shows_track "$first"  # still: only an opened track brings a new one
call Quit
finish "Quit"
saved '"Volume"=dword:0000001e' '"Repeat"=dword:00000002' '"Shuffle"=dword:00000001' \
  '"LastTrk"="01 Sunrise.mp3"'

# The loudness of each 10 ms of float stereo at 48 kHz, as the player writes it and mpg123 decodes.
loudness() { od -An -v -f -w3840 | awk '{s = 0; for (i = 1; i <= NF; i++) s += $i * $i; print sqrt(s / NF)}'; }
mpg123 -q -e f32 -r 48000 --stereo -s "$first" | loudness >"$WORK/song.txt"
# The first two seconds heard correlate best with the song within a second of the place.
goes_on_from() {  # MS
  local at
  loudness <"$SDL_DISKAUDIOFILE" >"$WORK/heard.txt"
  at=$(awk 'NR == FNR {if (n < 200 && (n || $1 > 0)) {h[n++] = $1; hm += $1}; next}
    {s[m++] = $1}
    END {
      hm /= n
      for (o = 0; o + n <= m; o++) {
        sm = xy = xx = yy = 0
        for (i = 0; i < n; i++) sm += s[o + i] / n
        for (i = 0; i < n; i++) { x = h[i] - hm; y = s[o + i] - sm; xy += x * y; xx += x * x; yy += y * y }
        r = xx * yy > 0 ? xy / sqrt(xx * yy) : -1
        if (o == 0 || r > best) { best = r; at = o }
      }
      print at * 10
    }' "$WORK/heard.txt" "$WORK/song.txt")
  ((at > $1 - 1000 && at < $1 + 1000)) || fail "the sound went on from $at ms, not from $1 ms"
}
kept_ms() { printf '%d' "0x$(sed -n 's/^"LastPos"=dword://p' "$SETTINGS")"; }
kept=$(kept_ms)
for play in "xdotool key space" "p play"; do
  start_player
  reports status Paused
  $play || fail "$play found nothing to play"
  wait_until played_past $((kept / 1000 + 3)) || fail "$play did not play"
  goes_on_from "$kept"
  kill -TERM "$pid"
  finish "SIGTERM"
  (($(kept_ms) >= kept + 2000)) || fail "kept at $(kept_ms) ms after playing on from $kept ms"
  kept=$(kept_ms)
done
echo "PASS"
