#!/usr/bin/env bash
# Takes screenshots of the player in a real window under Xvfb: the start
# screen in Classic and Night, backlight off and on, the Settings and Shells
# menus and the About screen reached with the wheel and the buttons, and the
# play view's three layouts (times, volume, seek) while a demo piece plays.
# Usage: tools/screenshots.sh BUILD_FOLDER   (writes BUILD_FOLDER/screenshots/*.png)
set -euo pipefail
build=$(cd "${1:?usage: tools/screenshots.sh BUILD_FOLDER}" && pwd)
source "$(dirname "$0")/xvfb.sh"
out=$build/screenshots
mkdir -p "$out"
start_xvfb

start() {  # SHELL BACKLIGHT: starts the player with these settings; sets PLAYER
  mkdir -p "$XDG_CONFIG_HOME/vesk"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Shell"=dword:%08x\n"BackLight"=dword:%08x\n' \
    "$1" "$2" >"$SETTINGS"
  "$build/vesk" &
  PID=$!
  PLAYER=$(wait_for_window "$PID")
}
stop() {
  kill -TERM "$PID"
  wait "$PID" || true
}
save() {  # NAME
  wait_until settled || fail "$1 did not settle"
  shot "$PLAYER" "$out/$1.png"
  echo "$out/$1.png"
}
# Presses a button and waits until the list shows something else.
press() {  # X Y WHAT
  shot "$PLAYER" "$WORK/before.png" "$LIST"
  click_on "$1" "$2"
  wait_until list_differs "$WORK/before.png" || fail "$3"
}

for look in "classic 0 0" "classic-lit 0 1" "night 1 0" "night-lit 1 1"; do
  read -r name shell backlight <<<"$look"
  start "$shell" "$backlight"
  save "$name"
  stop
done

start 0 0
move_to $CENTRE
notch 5 1 || fail "the wheel did not reach Settings"
press $CENTRE "Settings did not open"
save settings
notch 5 1 || fail "the wheel did not reach Shells"
press $CENTRE "Shells did not open"
save shells
press $MENU "the menu button did not come back"
notch 4 0 || fail "the wheel did not reach About"  # away from the user: up
press $CENTRE "About did not open"
save about
stop

# A demo piece, reached through Browse: "Vesk Demo", "Evening", "01 Dusk".
cp -r "$build/demo/." "$VESK_MUSIC_DIR"
start 0 0
move_to $CENTRE
for what in "Browse" "the demo folder" "its Evening folder" "its first piece"; do
  press $CENTRE "$what did not open"
done
shot "$PLAYER" "$WORK/started.png" "$LIST"
wait_until list_differs "$WORK/started.png" || fail "the time did not move"
save playing
# The play view's layouts, told apart by what only they draw: the volume
# screen has no times, and only the seek bar has square corners. Both go back
# to the times after a few idle seconds, so each is captured as soon as it
# shows, and nothing waits on the state a click would find.
pixel_of() {  # X Y of the screen
  shot "$PLAYER" "$WORK/pixel.png" "1x1+$1+$2"
  pixel "$WORK/pixel.png" 0 0
}
no_times() {  # the corner of the remaining time holds one colour
  shot "$PLAYER" "$WORK/times.png" 25x12+170+124
  [ "$(convert "$WORK/times.png" -format '%k' info:)" = 1 ]
}
times_shown() { ! no_times; }
volume_drawn() { no_times && [ "$(pixel_of 58 111)" = "#000000" ]; }
square_corner() { [ "$(pixel_of 45 111)" = "#000000" ]; }
capture() {  # NAME
  shot "$PLAYER" "$out/$1.png"
  echo "$out/$1.png"
}
ring_to 0
xdotool mousedown 1
ring_to 30  # the first movement on the ring turns to the volume
ring_to 60
wait_until volume_drawn || fail "the volume did not show"
capture volume
xdotool mouseup 1
wait_until times_shown || fail "the times did not come back"
click_on $CENTRE
wait_until square_corner || fail "the seek bar did not show"
capture seek
stop
