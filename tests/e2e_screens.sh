#!/usr/bin/env bash
# The screenshots of tools/screenshots.sh, by their colours. Usage: e2e_screens.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"
"$here/../tools/screenshots.sh" "$build" >/dev/null
while read -r file x y colour what; do
  [ "$(pixel "$build/screenshots/$file" "$x" "$y")" = "$colour" ] || fail "$what ($file)"
done <<EOF2
classic.png 3 3 #F7F7F7 Classic frame
night.png 3 3 #16171D Night frame
classic.png 300 390 $UNLIT unlit screen
classic-lit.png 300 390 #69DFE3 lit screen
night-lit.png 300 390 #69DFE3 lit screen in Night
settings.png 300 390 $UNLIT Settings menu
shells.png 3 3 #F7F7F7 Shells menu in Classic
about.png 300 390 $UNLIT About screen
playing.png 136 334 $UNLIT the progress bar's cut corner
seek.png 136 334 #000000 the seek bar's square corner
EOF2
echo "PASS"
