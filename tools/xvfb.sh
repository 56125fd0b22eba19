# Shell functions for running the player in a real window under Xvfb, sourced
# by the screenshot and measuring tools and the end-to-end tests.
#   start_xvfb            starts a private X server; sets DISPLAY
#   wait_for_window PID   waits for the player's window; prints its X id
#   wait_until WHAT CMD.. waits up to 30 s for a command to succeed, or fails
#   heard_since OFFSET    the disk audio driver's file sounds after the offset
#   stop_all              stops what was started (also run on exit)
# Every run gets its own settings, runtime and music folders under $WORK.

WORK=$(mktemp -d)
export XDG_CONFIG_HOME=$WORK/config XDG_RUNTIME_DIR=$WORK/run VESK_MUSIC_DIR=$WORK/music
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
mkdir -p "$XDG_CONFIG_HOME" "$VESK_MUSIC_DIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
XVFB_PID=

start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
  XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.05
  done
  [ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$(cat "$WORK/display")
}

wait_for_window() {  # PID of the program that opens it
  local i id
  for i in $(seq 200); do
    kill -0 "$1" 2>/dev/null || { echo "the program ended before its window opened" >&2; return 1; }
    id=$(xdotool search --onlyvisible --name '^Vesk$' 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { sleep 0.3; echo "$id"; return 0; }
    sleep 0.05
  done
  echo "no window appeared" >&2
  return 1
}

fail() { echo "FAIL: $*" >&2; exit 1; }

wait_until() {  # WHAT COMMAND...
  local what=$1 i
  shift
  for i in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  fail "waited in vain: $what"
}

# Sound heard through SDL's disk driver (SDL_DISKAUDIOFILE): bytes that are
# not silence, from an offset of the file on.
loud_bytes() {  # FROM_OFFSET
  tail -c +"$(( $1 + 1 ))" "$SDL_DISKAUDIOFILE" 2>/dev/null | tr -d '\0' | wc -c
}
size_of_heard() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
heard_since() { [ "$(loud_bytes "$1")" -gt 10000 ]; }

# The colour of a pixel of a PNG as #RRGGBB.
pixel() {  # FILE X Y
  convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6 | sed 's/^/#/'
}

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
