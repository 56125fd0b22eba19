#!/usr/bin/env bash
# Quitting in the middle of a track and starting again, in a real window
# under Xvfb on a private session bus, the sound written to a file by SDL's
# disk driver: a few seconds played and Sleep, then play/pause after a new
# start; more played and SIGTERM, then playerctl's play after a new start.
# Each time the player waits paused and the sound goes on from that place.
# Usage: e2e_resume.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VESK_ON_TEST_BUS:-}" ]; then
  VESK_ON_TEST_BUS=1 exec dbus-run-session -- "$here/e2e_resume.sh" "$build"
fi
export SDL_AUDIODRIVER=disk
source "$here/../tools/xvfb.sh"
export SDL_DISKAUDIOFILE=$WORK/heard.raw
start_xvfb
song=$VESK_MUSIC_DIR/Album/Sunrise.mp3
mkdir -p "${song%/*}"
cp "$build/demo/Vesk Demo/Morning/01 Sunrise.mp3" "$song"

p() { playerctl -p vesk "$@" 2>/dev/null; }
status_is() { [ "$(p status)" = "$1" ]; }
played_past() { [ "$(p position | cut -d. -f1)" -ge "$1" ]; }  # SECONDS
start_player() {
  "$build/vesk" &
  pid=$!
  wait_for_window "$pid" >/dev/null
}
ended() {
  timeout 60 tail --pid="$pid" -f /dev/null || fail "the player did not end"
  wait "$pid" || fail "the player ended with an error"
}
kept_ms() { printf '%d' "0x$(sed -n 's/^"LastPos"=dword://p' "$SETTINGS")"; }

# The loudness of each 10 ms of float stereo at 48 kHz, the rate the player
# asks of the disk driver; the song's own decoded by mpg123.
loudness() { od -An -v -f -w3840 | awk '{s = 0; for (i = 1; i <= NF; i++) s += $i * $i; print sqrt(s / NF)}'; }
mpg123 -q -e f32 -r 48000 --stereo -s "$song" | loudness >"$WORK/song.txt"
# The sound heard since this player started (silence until it played) is the
# song from the place, within a second: the loudness of its first two
# seconds correlates best with the song's there.
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
  echo "went on from $at ms, kept at $1 ms"
  ((at > $1 - 1000 && at < $1 + 1000)) || fail "the sound went on from $at ms, not from $1 ms"
}

start_player
xdotool key Return Return Return  # Browse, Album, Sunrise
wait_until played_past 4 || fail "the song did not play"
xdotool key Escape Escape Escape Down Down Down Down Down Return  # back to the Main menu, Sleep
ended
kept=$(kept_ms)
for play in "xdotool key space" "p play"; do
  start_player
  wait_until status_is Paused || fail "the kept track did not open paused: $(p status)"
  $play || fail "$play found nothing to play"
  wait_until played_past $((kept / 1000 + 3)) || fail "$play did not play"
  goes_on_from "$kept"
  kill -TERM "$pid"
  ended
  (($(kept_ms) >= kept + 2000)) || fail "kept at $(kept_ms) ms after playing on from $kept ms"
  kept=$(kept_ms)
done
echo "PASS"
