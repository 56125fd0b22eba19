#!/usr/bin/env bash
# The player's window, its starts and its ends. Usage: e2e_window.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"

rc=0
env -u DISPLAY timeout -k 5 60 "$build/vesk" 2>"$WORK/err" || rc=$?
[ "$rc" != 0 ] && [ "$rc" != 124 ] || fail "without a display the player did not end non-zero ($rc)"
grep -q "no display" "$WORK/err" || fail "without a display nothing was said: $(cat "$WORK/err")"
[ ! -e "$XDG_RUNTIME_DIR/Main_Window-Vesk.sock" ] || fail "without a display the socket was taken"

start_xvfb
mkdir "$VESK_MUSIC_DIR/Album"  # a music folder with nothing to say about it
start_player
first=$pid
timeout 60 "$build/vesk" || fail "a second start did not exit 0"
kill -0 "$first" || fail "the second start ended the first"
[ "$(xdotool search --onlyvisible --name '^Vesk$' | wc -l)" = 1 ] || fail "two windows"
kill -TERM "$first"  # what the desktop's close button does
finish "closing the window"
saved '"Volume"=dword:00000032'
[ ! -s "$WORK/stderr" ] || fail "without a session bus the player said: $(cat "$WORK/stderr")"

# The close request of another program ends it without saving.
sed -i 's/"Volume"=dword:00000032/"Volume"=dword:00000007/' "$SETTINGS"
before=$(stat -c %i:%Y "$SETTINGS")
start_player
"$build/tool_send_close" || fail "the close request found no player"
finish "the close request"
[ "$(stat -c %i:%Y "$SETTINGS")" = "$before" ] || fail "the close request saved the settings"

# A closed terminal (SIGHUP) and the window destroyed by another program save.
for how in "kill -HUP \$pid" "xdotool windowclose \$PLAYER"; do
  rm -f "$SETTINGS"
  start_player
  eval "$how"
  finish "$how"
  [ "$(values)" = 9 ] || fail "$how did not save the settings"
done
[ ! -e "$XDG_RUNTIME_DIR/Main_Window-Vesk.sock" ] || fail "the quit left the socket behind"

# The display lost, with or without a logout's SIGTERM, or a server that stopped answering:
# the quit saves and ends within a second, whatever the server does.
for round in $(seq 12); do
  rm -f "$SETTINGS"
  start_player
  case $((round % 4)) in
    0) kill "$XVFB_PID" ;;
    1) kill "$XVFB_PID" && kill -TERM "$pid" ;;
    2) kill -STOP "$XVFB_PID" && kill -TERM "$pid" && sleep 0.2 && kill -KILL "$XVFB_PID" ;;
    3) kill -STOP "$XVFB_PID" && kill -TERM "$pid" ;;
  esac
  WAIT_TENTHS=100 finish "round $round of losing the display"
  kill -KILL "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  [ "$(values)" = 9 ] || fail "round $round: the quit did not save"
  start_xvfb
done
# The same while other threads keep waking the loop (a wake-up goes over a connection of its own).
for round in 1 2 3 4; do
  start_player "$build/tool_post_storm"
  kill "$XVFB_PID"
  WAIT_TENTHS=100 finish "round $round of losing the display while the loop is woken"
  wait "$XVFB_PID" 2>/dev/null || true
  start_xvfb
done

# Screen 160 x 128: the picture is 96 x 128, 32 pixels in from the left.
stop_screen
start_xvfb 160x128
start_player
wait_until window_is "$PLAYER" 160x128 || fail "the window does not fill the screen"
wait_until shows "$PLAYER" 72 22 "$UNLIT" ||
  fail "the screen is not shown scaled down: $(seen "$PLAYER" 72 22)"
[ "$(seen "$PLAYER" 5 5)" = "#000000" ] || fail "no letter box beside the picture"
[ "$(seen "$PLAYER" 40 2)" = "#F7F7F7" ] || fail "the frame is not shown"
# "Settings", the second row, at screen (100, 55): a tap there selects it.
xdotool mousemove --window "$PLAYER" 72 22 click 1
wait_until shows_not "$PLAYER" 72 22 "$UNLIT" || fail "the tap did not land on the row it shows"
for size in "100 100" "240 160" "10 10" "5000 1" "1 1" "1 5000" "333 517" "160 128"; do
  xdotool windowsize "$PLAYER" $size
  wait_until window_is "$PLAYER" "${size/ /x}" || fail "the window did not take the size $size"
  kill -0 "$pid" || fail "the player ended at the size $size"
done
wait_until shows_not "$PLAYER" 72 22 "$UNLIT" || fail "the picture is gone after the resizes"
kill -TERM "$pid"
finish "after the resizes"

# The handheld's full screen: the whole display (no window manager), the player in its middle.
stop_screen
start_xvfb
VESK_FULLSCREEN=1 start_player
[ "$(xdotool getwindowgeometry --shell "$PLAYER" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')" = \
  "X=0 Y=0 WIDTH=1280 HEIGHT=1024 " ] || fail "the full-screen window does not cover the display"
shows_not "$PLAYER" 640 512 "#000000" || fail "the player is not in the middle"
kill -TERM "$pid"
finish "full screen"
timeout -k 5 60 "$build/tool_controller" desktop || fail "desktop window"
VESK_FULLSCREEN=1 timeout -k 5 60 "$build/tool_controller" handheld || fail "handheld window"
echo "PASS"
