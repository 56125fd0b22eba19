#!/usr/bin/env bash
# The real player under Xvfb driven with xdotool as a person would: a slow
# circle on the wheel scrolls the Main menu row by row, the centre button
# opens Settings, choosing Shuffle changes its row, the menu button comes
# back with "Settings" selected, Return and Escape do what the buttons do,
# the scroll wheel turns the wheel, and holding play/pause quits and saves.
# Usage: e2e_wheel.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../tools/xvfb.sh"
start_xvfb

"$build/vesk" &
player=$!
PLAYER=$(wait_for_window "$player")

wait_selected() {  # ROW WHAT
  wait_until row_selected "$1" || fail "$2: row $1 is not selected"
}

wait_selected 0 "the start screen"

# A slow circle: three steps clockwise, then two back; each step is one row.
ring_to 90
xdotool mousedown 1
for step in 1 2 3; do
  turn_to $((90 + 12 * step)) "$step" || fail "clockwise step $step"
done
for step in 2 1; do
  turn_to $((90 + 12 * step)) "$step" || fail "counter-clockwise back to row $step"
done
xdotool mouseup 1
shot "$PLAYER" "$WORK/main-settings.png" "$LIST"

# The centre button opens Settings with "About" selected.
click_on $CENTRE
wait_until list_differs "$WORK/main-settings.png" || fail "Settings did not open"
wait_selected 0 "Settings"

# Two notches of the scroll wheel towards the user: down to the Shuffle row.
move_to $WHEEL_X $((WHEEL_Y + RING))
notch 5 1 || fail "one notch"
notch 5 2 || fail "two notches"
shot "$PLAYER" "$WORK/shuffle-off.png" "$LIST"
click_on $CENTRE
wait_until list_differs "$WORK/shuffle-off.png" || fail "the Shuffle row did not change"
wait_selected 2 "the toggled Shuffle row"

# The menu button: back to the Main menu with "Settings" selected.
click_on $MENU
wait_until list_is "$WORK/main-settings.png" || fail "the menu button did not come back"

# Return and Escape are the centre and the menu button.
xdotool key Return
wait_until list_differs "$WORK/main-settings.png" || fail "Return did not open Settings"
wait_selected 0 "Settings by Return"
xdotool key Escape
wait_until list_is "$WORK/main-settings.png" || fail "Escape did not come back"

# Holding play/pause for two seconds quits and saves.
move_to $PLAY_PAUSE
xdotool mousedown 1
timeout 60 tail --pid="$player" -f /dev/null || fail "holding play/pause did not quit"
xdotool mouseup 1
wait "$player" || fail "the player ended with an error"
grep -q '"Shuffle"=dword:00000001' "$SETTINGS" || fail "the Shuffle setting was not saved"
echo "PASS"
