# Shell functions for the end-to-end tests, sourced after tools/xvfb.sh. Every
# wait is for a condition, with room for a loaded machine.
#   stop_screen              ends the X server of start_xvfb (the player on it notices)
#   wait_for_player_window PID   the player's window, once shown; its X id
#   seen ID X Y              the colour of a pixel of the window, #RRGGBB

stop_screen() {
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
}

wait_for_player_window() {  # PID
  local id=
  for _ in $(seq "$WAIT_TENTHS"); do
    kill -0 "$1" 2>/dev/null || fail "the player ended before its window opened"
    id=$(visible_window) || true
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
shows_not() {  # ID X Y COLOUR: another colour, not none
  local colour
  colour=$(seen "$1" "$2" "$3") && [ -n "$colour" ] && [ "$colour" != "$4" ]
}
