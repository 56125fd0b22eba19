#!/usr/bin/env bash
# Takes screenshots of the player in a real window under Xvfb: the start
# screen in Classic and Night, backlight off and on, and the Settings and
# Shells menus and the About screen reached with the wheel and the buttons.
# Usage: tools/screenshots.sh BUILD_FOLDER   (writes BUILD_FOLDER/screenshots/*.png)
set -euo pipefail
build=$(cd "${1:?usage: tools/screenshots.sh BUILD_FOLDER}" && pwd)
source "$(dirname "$0")/xvfb.sh"
out=$build/screenshots
mkdir -p "$out"
start_xvfb
fail() { echo "FAIL: $*" >&2; exit 1; }

start() {  # SHELL BACKLIGHT: starts the player with these settings; sets PLAYER
  mkdir -p "$XDG_CONFIG_HOME/vesk"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Shell"=dword:%08x\n"BackLight"=dword:%08x\n' \
    "$1" "$2" >"$XDG_CONFIG_HOME/vesk/settings.reg"
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
