#!/usr/bin/env bash
# Takes screenshots of the player in a real window under Xvfb: the start
# screen in Classic and Night, backlight off and on, the About screen and
# the play view's three layouts.
# Usage: tools/screenshots.sh BUILD_FOLDER   (writes BUILD_FOLDER/screenshots/*.png)
set -euo pipefail
build=$(cd "${1:?usage: tools/screenshots.sh BUILD_FOLDER}" && pwd)
source "$(dirname "$0")/xvfb.sh"
out=$build/screenshots
mkdir -p "$out"
start_xvfb

shoot() {  # NAME SHELL BACKLIGHT PROGRAM...
  local name=$1 shell=$2 backlight=$3
  shift 3
  mkdir -p "$XDG_CONFIG_HOME/vesk"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Shell"=dword:%08x\n"BackLight"=dword:%08x\n' \
    "$shell" "$backlight" >"$XDG_CONFIG_HOME/vesk/settings.reg"
  "$@" &
  local pid=$! id
  id=$(wait_for_window "$pid")
  import -window "$id" "$out/$name.png"
  kill -TERM "$pid"
  wait "$pid" || true
  echo "$out/$name.png"
}

shoot classic 0 0 "$build/vesk"
shoot classic-lit 0 1 "$build/vesk"
shoot night 1 0 "$build/vesk"
shoot night-lit 1 1 "$build/vesk"
shoot about 0 0 "$build/show_screen" about
for view in playing volume seek; do
  shoot "$view" 0 0 "$build/show_screen" "$view"
done
