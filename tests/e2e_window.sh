#!/usr/bin/env bash
# The real player in a real window under Xvfb: it shows its frame, a second
# start brings the first forward and exits 0, the desktop close saves the
# settings, the close request of another program ends it without saving, and
# losing the display saves and ends it, also in the middle of the quit.
# Usage: e2e_window.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../tools/xvfb.sh"
ended() { ! kill -0 "$1" 2>/dev/null; }
start_xvfb

"$build/vesk" &
first=$!
id=$(wait_for_window "$first")
import -window "$id" "$WORK/start.png"
[ "$(pixel "$WORK/start.png" 3 3)" = "#F7F7F7" ] || fail "the frame is not the Classic colour"
[ "$(pixel "$WORK/start.png" 300 390)" = "$UNLIT" ] || fail "the screen is not the unlit colour"

timeout 10 "$build/vesk" || fail "a second start did not exit 0"
kill -0 "$first" || fail "the second start ended the first"
[ "$(xdotool search --onlyvisible --name '^Vesk$' | wc -l)" = 1 ] || fail "two windows"

kill -TERM "$first"  # what the desktop's close button does
wait "$first" || fail "closing the window did not end the player with 0"
grep -q '"Volume"=dword:00000032' "$SETTINGS" || fail "closing the window did not save"

sed -i 's/"Volume"=dword:00000032/"Volume"=dword:00000007/' "$SETTINGS"
before=$(stat -c %i:%Y "$SETTINGS")
"$build/vesk" &
second=$!
wait_for_window "$second" >/dev/null
"$build/tool_send_close" || fail "the close request found no player"
timeout 10 tail --pid="$second" -f /dev/null || fail "the close request did not end the player"
wait "$second" || fail "the player ended with an error"
[ "$(stat -c %i:%Y "$SETTINGS")" = "$before" ] || fail "the close request saved the settings"

# When the display server goes away, the player saves and ends instead of
# spinning.
rm "$SETTINGS"
"$build/vesk" 2>/dev/null &
third=$!
wait_for_window "$third" >/dev/null
kill "$XVFB_PID"
timeout 60 tail --pid="$third" -f /dev/null || fail "the player outlived its display"
wait "$third" || fail "the player ended with an error when its display went away"
grep -q '"Volume"=dword:00000032' "$SETTINGS" || fail "losing the display lost the settings"

# A logout: SIGTERM as the display goes away, at the same moment, or while
# the quit waits on a server that has stopped answering (then goes away, or
# not). The quit saves and ends within a second, whatever the server does.
for round in $(seq 12); do
  start_xvfb
  rm -f "$SETTINGS"
  "$build/vesk" 2>/dev/null &
  player=$!
  wait_for_window "$player" >/dev/null
  case $((round % 4)) in
    2) kill -STOP "$XVFB_PID" && kill -TERM "$player" && sleep 0.2 && kill -KILL "$XVFB_PID" ;;
    3) kill -STOP "$XVFB_PID" && kill -TERM "$player" ;;
    *) kill "$XVFB_PID" && kill -TERM "$player" ;;
  esac
  WAIT_TENTHS=100 wait_until ended "$player" || fail "round $round: the quit waited on the display"
  wait "$player" || fail "round $round: the player ended with an error"
  kill -KILL "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  [ "$(grep -c '^"' "$SETTINGS")" = 7 ] || fail "round $round: the quit did not save"
done
echo "PASS"
