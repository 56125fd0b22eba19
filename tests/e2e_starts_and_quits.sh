#!/usr/bin/env bash
# The real player's starts and ends that once went wrong: no display, a long
# runtime folder, a closed terminal, its window destroyed by another program,
# and kills in the middle of the quit's save.
# Usage: e2e_starts_and_quits.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(dirname "$0")
source "$here/../tools/xvfb.sh"
source "$here/lib_e2e.sh"
values() { grep -c '^"' "$SETTINGS" || true; }  # how many values the file holds
ended() { ! kill -0 "$1" 2>/dev/null; }
finish() {  # PID WHAT: waits for the player's end, which must be exit 0
  wait_until ended "$1" || fail "$2: the player did not end"
  wait "$1" || fail "$2: the player did not end with 0"
}

# Without a display it says so and ends non-zero, holding nothing.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY timeout -k 5 60 "$build/vesk" 2>"$WORK/err"
rc=$?
set -e
[ "$rc" != 0 ] && [ "$rc" != 124 ] || fail "without a display the player did not end non-zero ($rc)"
grep -q "no display" "$WORK/err" || fail "without a display nothing was said: $(cat "$WORK/err")"
[ ! -e "$XDG_RUNTIME_DIR/Main_Window-Vesk.sock" ] || fail "without a display the socket was taken"

start_xvfb 1280x1024

# A runtime folder too long for a socket: players still meet, in /tmp.
long=$WORK/$(printf 'r%.0s' $(seq 120))
mkdir -m 700 "$long"
TMPDIR=$WORK XDG_RUNTIME_DIR=$long "$build/vesk" &
first=$!
wait_for_player_window "$first" >/dev/null
TMPDIR=$WORK XDG_RUNTIME_DIR=$long timeout -k 5 60 "$build/vesk" || fail "a second start with a long runtime folder did not exit 0"
[ "$(xdotool search --onlyvisible --name '^Vesk$' | wc -l)" = 1 ] || fail "two windows with a long runtime folder"
kill -TERM "$first"
finish "$first" "SIGTERM"

# A closed terminal (SIGHUP) saves and ends as the close button does.
rm -f "$SETTINGS"
"$build/vesk" &
player=$!
wait_for_player_window "$player" >/dev/null
kill -HUP "$player"
finish "$player" "SIGHUP"
[ "$(values)" = 9 ] || fail "SIGHUP did not save the settings"
[ ! -e "$XDG_RUNTIME_DIR/Main_Window-Vesk.sock" ] || fail "SIGHUP left the socket behind"

# The window destroyed by another program: saved, and exit 0.
rm -f "$SETTINGS"
"$build/vesk" &
player=$!
xdotool windowclose "$(wait_for_player_window "$player")"
finish "$player" "the window destroyed from outside"
[ "$(values)" = 9 ] || fail "the window destroyed from outside did not save the settings"

# SIGTERM, then SIGKILL a moment later, while the quit saves: the file holds
# all nine values or none, never some.
mkdir -p "$(dirname "$SETTINGS")"
for round in $(seq 20); do
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n\n' >"$SETTINGS"
  "$build/vesk" &
  player=$!
  wait_for_player_window "$player" >/dev/null
  kill -TERM "$player"
  sleep "0.00$((RANDOM % 10))"
  kill -KILL "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  case "$(values)" in
    0 | 9) ;;
    *) fail "a kill during the quit left $(values) of the 9 values (round $round)" ;;
  esac
done
echo "PASS"
