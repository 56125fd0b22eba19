# Helpers for running the player in a real window under Xvfb, sourced by the screenshot
# and measuring tools and the end-to-end tests. Nothing follows the caller's environment:
# every run gets UTF-8 (mpg123 prints no tag text in plain C), its own home, settings,
# runtime and music folders under $WORK, no session bus but a test's own, and its own X server.

WORK=$(mktemp -d)
export LC_ALL=C.UTF-8
unset LANGUAGE WAYLAND_DISPLAY SDL_VIDEODRIVER
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data
export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run VESK_MUSIC_DIR=$WORK/music
[ -n "${VESK_ON_TEST_BUS:-}" ] || export DBUS_SESSION_BUS_ADDRESS=unix:path=$WORK/no-bus
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
SETTINGS=$XDG_CONFIG_HOME/vesk/settings.reg  # the player's settings file
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$VESK_MUSIC_DIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
XVFB_PID=

UNLIT="#C6DCCA"  # the player's screen with the backlight off

fail() { echo "FAIL: $*" >&2; exit 1; }

start_xvfb() {  # [WxH]: a private X server, 1280x1024 unless told; sets DISPLAY
  rm -f "$WORK/display"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$WORK/display" 2>/dev/null &
  XVFB_PID=$!
  wait_until test -s "$WORK/display" || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$(cat "$WORK/display")
}

# Runs the command every 0.1 s until it succeeds; false after WAIT_TENTHS (a minute by
# default: enough on a loaded 2-core machine) of the clock, however long each try takes.
WAIT_TENTHS=600
wait_until() {  # COMMAND...
  local deadline=$((${EPOCHREALTIME/./} + WAIT_TENTHS * 100000))  # in microseconds
  until "$@"; do
    ((${EPOCHREALTIME/./} < deadline)) || return 1
    sleep 0.1
  done
}

visible_window() { xdotool search --onlyvisible --name '^Vesk$' 2>/dev/null | head -n 1; }

# import of a window that is gone (a player that crashed) waits for a click on another:
# callers look for the window first, and this bounds the race.
grab() { timeout 20 import -window "$@"; }  # ID IMPORT-ARGUMENTS...

# The window's middle (the frame between screen and wheel, whatever the letter box) is painted.
frame_drawn() {  # ID
  local colour WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
  [ -n "${WIDTH:-}" ] || return 1
  colour=$(grab "$1" -crop "1x1+$((WIDTH / 2))+$((HEIGHT / 2))" \
    -format '%[hex:p{0,0}]' info: 2>/dev/null) || return 1
  [ -n "$colour" ] && [ "${colour:0:6}" != 000000 ]
}

wait_for_window() {  # PID of the program that opens it
  local id=
  # shellcheck disable=SC2317
  found() {
    kill -0 "$1" 2>/dev/null || { echo "the program ended before its window opened" >&2; exit 1; }
    id=$(visible_window)
    [ -n "$id" ]
  }
  wait_until found "$1" || { echo "no window appeared" >&2; return 1; }
  wait_until frame_drawn "$id" || { echo "no frame was drawn" >&2; return 1; }
  echo "$id"
}

# Where the player's screen lies in its window: the whole-number scale and the letter box.
geometry() {  # ID: sets WIN_X WIN_Y SCALE OFF_X OFF_Y; false when the window is gone
  local found
  found=$(xdotool getwindowgeometry --shell "$1") || return 1
  eval "$found"
  WIN_X=$X WIN_Y=$Y
  SCALE=$(( WIDTH / 240 < HEIGHT / 320 ? WIDTH / 240 : HEIGHT / 320 ))
  [ "$SCALE" -ge 1 ] || SCALE=1
  OFF_X=$(( (WIDTH - 240 * SCALE) / 2 )) OFF_Y=$(( (HEIGHT - 320 * SCALE) / 2 ))
}

place() {  # ID X Y: prints the root point of the screen pixel
  geometry "$1"
  echo "$((WIN_X + OFF_X + $2 * SCALE + SCALE / 2)) $((WIN_Y + OFF_Y + $3 * SCALE + SCALE / 2))"
}

shot() {  # ID FILE [WxH+X+Y in screen pixels]
  geometry "$1" || return 1
  [ $# -ge 3 ] || { grab "$1" "$2"; return; }
  local w h x y
  IFS='x+' read -r w h x y <<<"$3"
  grab "$1" -crop "$((w * SCALE))x$((h * SCALE))+$((OFF_X + x * SCALE))+$((OFF_Y + y * SCALE))" +repage "$2"
}

# Driving the player as a person would, in its screen pixels; PLAYER is its window's X id.
PLAYER=
WHEEL_X=120 WHEEL_Y=210 RING=40  # the wheel's centre and a radius on its ring
CENTRE="120 205" MENU="94 295" PLAY_PAUSE="146 295"
LIST=151x108+40+28  # the menu list
HIGHLIGHT=202028    # the selected row's background
ROW_TOP=28 ROW_HEIGHT=18

move_to() {  # X Y
  local rx ry
  read -r rx ry <<<"$(place "$PLAYER" "$1" "$2")"
  xdotool mousemove "$rx" "$ry"
}
ring_to() {  # DEGREES clockwise from three o'clock
  local x y
  read -r x y <<<"$(awk -v a="$1" -v cx=$WHEEL_X -v cy=$WHEEL_Y -v r=$RING \
    'BEGIN {t = a * 3.14159265 / 180; printf "%d %d", cx + r * cos(t), cy + r * sin(t)}')"
  move_to "$x" "$y"
}
click_on() {  # X Y
  move_to "$1" "$2"
  xdotool click 1
}
# Whether the row is the selected one (its top left has the highlight).
row_selected() {  # ROW
  local y=$((ROW_TOP + $1 * ROW_HEIGHT + 1))  # above the text
  shot "$PLAYER" "$WORK/px.png" "1x1+41+$y"
  [ "$(convert "$WORK/px.png" -format '%[hex:p{0,0}]' info: | cut -c1-6)" = "$HIGHLIGHT" ]
}
# How many pixels differ; nothing when a picture is missing or broken, which no check takes.
pixels_differing() {  # FILE FILE
  { compare -metric AE "$1" "$2" null: 2>&1 || true; } | grep -xE '[0-9.e+]+' || true
}
same_pictures() { [ "$(pixels_differing "$1" "$2")" = 0 ]; }  # FILE FILE
pictures_differ() { pixels_differing "$1" "$2" | grep -qvx 0; }  # FILE FILE
# Whether the list shows exactly the picture, or something else.
list_is() { shot "$PLAYER" "$WORK/list.png" "$LIST" && same_pictures "$WORK/list.png" "$1"; }
list_differs() { shot "$PLAYER" "$WORK/list.png" "$LIST" && pictures_differ "$WORK/list.png" "$1"; }

# One wheel step at a person's pace: the player drops all input in the 100 ms after a
# step, so the next action waits a moment, and a step that did not show is made again.
PACE=0.3
step_until_selected() {  # ROW COMMAND...
  local attempt
  for attempt in 1 2 3 4 5; do
    "${@:2}"
    WAIT_TENTHS=100 wait_until row_selected "$1" && { sleep "$PACE"; return 0; }
    sleep "$PACE"
  done
  return 1
}
ring_from_below() {  # DEGREES: only the last move crosses the step threshold
  ring_to $(($1 - 6))
  ring_to "$1"
}
turn_to() { step_until_selected "$2" ring_from_below "$1"; }  # DEGREES ROW
notch() { step_until_selected "$2" xdotool click "$1"; }      # BUTTON ROW: 5 down, 4 up

# The same picture twice, a moment apart: a slide or a repaint has ended.
settled() {
  shot "$PLAYER" "$WORK/settle-a.png"
  sleep 0.2
  shot "$PLAYER" "$WORK/settle-b.png"
  [ "$(compare -metric AE "$WORK/settle-a.png" "$WORK/settle-b.png" null: 2>&1)" = 0 ]
}

# The bytes SDL's disk driver (SDL_DISKAUDIOFILE) wrote from an offset on that are not silence.
loud_bytes() { tail -c +"$(($1 + 1))" "$SDL_DISKAUDIOFILE" 2>/dev/null | tr -d '\0' | wc -c; }
size_of_heard() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
heard_since() { [ "$(loud_bytes "$1")" -gt 10000 ]; }

# The colour of a pixel of a PNG as #RRGGBB.
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6 | sed 's/^/#/'; }  # FILE X Y

stop_all() {
  local pids
  pids=$(jobs -p)
  if [ -n "$pids" ]; then
    kill $pids 2>/dev/null || true
    sleep 0.2
    kill -KILL $pids 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap stop_all EXIT
