# `source lib_e2e.sh BUILD_FOLDER [bus]`: $build, private folders, tools/xvfb.sh's helpers;
# with "bus" the script runs again inside its own session bus first.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${2:-}" = bus ] && [ -z "${VESK_ON_TEST_BUS:-}" ]; then
  VESK_ON_TEST_BUS=1 exec dbus-run-session -- "$0" "$1"
fi
build=$(cd "$1" && pwd)
source "$here/../tools/xvfb.sh"
# A command that fails outside a check ends the script as `set -e` makes it, saying where
# and from where it was called.
failed_at() {
  local i where=
  for ((i = 1; i < ${#BASH_SOURCE[@]}; i++)); do
    where+=" ${BASH_SOURCE[i]##*/}:${BASH_LINENO[i - 1]}"
  done
  echo "FAIL: $BASH_COMMAND, at$where" >&2
}
set -E
trap failed_at ERR

start_player() {  # [COMMAND...]: the player in the background; sets $pid and $PLAYER
  "${@:-$build/vesk}" 2>>"$WORK/stderr" &
  pid=$!
  PLAYER=$(wait_for_window "$pid") || fail "no player window"
}
ended() { ! kill -0 "${1:-$pid}" 2>/dev/null; }
finish() {  # WHAT [PID]
  local of=${2:-$pid}
  wait_until ended "$of" || fail "$1: the player did not end"
  wait "$of" || fail "$1: the player ended with $? ($(tail -c 300 "$WORK/stderr"))"
}
values() { grep -c '^"' "$SETTINGS" || true; }  # how many the settings file holds
saved() {  # LINE...
  local line
  for line; do grep -qxF "$line" "$SETTINGS" || fail "not saved: $line in $(cat "$SETTINGS")"; done
}
expect() {  # WHAT COMMAND...
  wait_until "${@:2}" || fail "$1"
}

AREA=  # what look, screen_is, screen_differs and press watch: WxH+X+Y, or all
look() { shot "$PLAYER" "$WORK/$1.png" ${AREA:+"$AREA"}; }
screen_is() { look now && same_pictures "$WORK/now.png" "$WORK/$1.png"; }
screen_differs() { look now && pictures_differ "$WORK/now.png" "$WORK/$1.png"; }
press() {  # KEY WHAT
  look before
  xdotool key "$1"
  expect "$2" screen_differs before
  expect "$2 (coming to rest)" settled
}

stop_screen() {  # ends the X server of start_xvfb; the player on it notices
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
}
window_is() {  # ID WxH
  [ "$(xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "$2" ]
}
seen() {  # ID X Y: the colour of a pixel of the window, #RRGGBB
  shot "$1" "$WORK/seen.png" 2>/dev/null && pixel "$WORK/seen.png" "$2" "$3"
}
shows() { [ "$(seen "$1" "$2" "$3")" = "$4" ]; }  # ID X Y COLOUR
shows_not() {                                      # ID X Y COLOUR: another colour, not none
  local colour
  colour=$(seen "$1" "$2" "$3") && [ -n "$colour" ] && [ "$colour" != "$4" ]
}

p() { playerctl -p vesk "$@" 2>/dev/null; }  # playerctl on the player
# shellcheck disable=SC2086
reported() { [ "$(p $1)" = "$2" ]; }
reports() {  # WHAT VALUE: waits until playerctl reports it
  # shellcheck disable=SC2086
  wait_until reported "$1" "$2" || fail "playerctl $1: \"$(p $1)\", not \"$2\""
}
call() {  # METHOD ARG...: of org.mpris.MediaPlayer2, by dbus-send
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vesk /org/mpris/MediaPlayer2 \
    "org.mpris.MediaPlayer2.$1" "${@:2}" >/dev/null
}
