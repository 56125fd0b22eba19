# Shell functions for the end-to-end tests, sourced after tools/xvfb.sh. Every
# wait is for a condition, with room for a loaded machine.
#   start_screen WxH         a private X server with a screen of that size
#   stop_screen              ends it (the player on it notices)
#   wait_for_player_window PID   the player's window, once shown; its X id
#   seen ID X Y              the colour of a pixel of the window, #RRGGBB

UNLIT="#C6DCCA"  # the player's screen with the backlight off

fail() { echo "FAIL: $*" >&2; exit 1; }

start_screen() {  # WxH
  rm -f "$WORK/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$WORK/display" 2>/dev/null &
  XVFB_PID=$!
  wait_until test -s "$WORK/display" || fail "Xvfb did not start"
  export DISPLAY=:$(cat "$WORK/display")
}

stop_screen() {
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
}

player_window() {
  xdotool search --onlyvisible --name '^Vesk$' 2>/dev/null | head -n 1
}

wait_for_player_window() {  # PID
  local id=
  for _ in $(seq "$WAIT_TENTHS"); do
    kill -0 "$1" 2>/dev/null || fail "the player ended before its window opened"
    id=$(player_window) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window appeared"
}

window_is() {  # ID WxH
  [ "$(xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "$2" ]
}

seen() {  # ID X Y
  import -window "$1" "$WORK/seen.png" 2>/dev/null && pixel "$WORK/seen.png" "$2" "$3"
}
shows() { [ "$(seen "$1" "$2" "$3")" = "$4" ]; }      # ID X Y COLOUR
shows_not() { [ "$(seen "$1" "$2" "$3")" != "$4" ]; }  # ID X Y COLOUR
