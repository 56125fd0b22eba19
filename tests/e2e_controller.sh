#!/usr/bin/env bash
# The handheld's full screen under Xvfb: with VESK_FULLSCREEN=1 the player's
# window covers the whole display (even with no window manager) and shows the
# player; a window with SDL's virtual game controller hides the pointer and
# gets every button's key, while a desktop window leaves both alone.
# Usage: e2e_controller.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../tools/xvfb.sh"
start_xvfb

VESK_FULLSCREEN=1 "$build/vesk" &
player=$!
window=$(wait_for_window "$player")
geometry=$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')
screen=$(xdotool getdisplaygeometry)
[ "$geometry" = "X=0 Y=0 WIDTH=${screen% *} HEIGHT=${screen#* } " ] ||
  fail "the window ($geometry) does not cover the display ($screen)"
import -window "$window" "$WORK/full.png"
middle=$(pixel "$WORK/full.png" 640 512)
[[ -n $middle && $middle != "#000000" ]] || fail "the player is not in the middle: $middle"
kill -TERM "$player"
wait "$player" || fail "the player did not end cleanly"

timeout -k 5 60 "$build/tool_controller" desktop || fail "desktop window"
VESK_FULLSCREEN=1 timeout -k 5 60 "$build/tool_controller" handheld || fail "handheld window"
echo "PASS"
