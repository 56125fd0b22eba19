#!/usr/bin/env bash
# Takes the screenshots of tools/screenshots.sh and checks their colours:
# the frame follows the skin, the screen follows the backlight; the menus
# and About were reached with the wheel and the buttons; the play view's
# layouts show while a demo piece plays.
# Usage: e2e_screens.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(dirname "$0")
"$here/../tools/screenshots.sh" "$build" >/dev/null
source "$here/../tools/xvfb.sh"
shots=$build/screenshots
check() {  # FILE X Y COLOUR WHAT
  [ "$(pixel "$shots/$1" "$2" "$3")" = "$4" ] || { echo "FAIL: $5 ($1)" >&2; exit 1; }
}
check classic.png 3 3 "#F7F7F7" "Classic frame"
check night.png 3 3 "#16171D" "Night frame"
check classic.png 300 390 "$UNLIT" "unlit screen"
check classic-lit.png 300 390 "#69DFE3" "lit screen"
check night-lit.png 300 390 "#69DFE3" "lit screen in Night"
check settings.png 300 390 "$UNLIT" "Settings menu"
check shells.png 3 3 "#F7F7F7" "Shells menu in Classic"
check about.png 300 390 "$UNLIT" "About screen"
check playing.png 136 334 "$UNLIT" "the progress bar's cut corner"
check seek.png 136 334 "#000000" "the seek bar's square corner"
echo "PASS: $(ls "$shots" | tr '\n' ' ')"
