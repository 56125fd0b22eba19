#!/usr/bin/env bash
# Names and titles in other scripts, in a real window under Xvfb: a Japanese
# one and a Greek and Cyrillic one are drawn with their own letters, in the
# folder listing and in Now Playing, not as the boxes that characters no font
# has are drawn as. Keeps listing-cjk.png and now-playing-cjk.png in
# BUILD_FOLDER/screenshots.
# Usage: e2e_scripts.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
tone=$(cd "$(dirname "$0")" && pwd)/data/stereo_44k_cbr.mp3
source "$(dirname "$0")/../tools/xvfb.sh"
shots=$build/screenshots
mkdir -p "$shots"
start_xvfb

byte() { printf "\\$(printf %03o "$1")"; }
# A real MP3 file named NAME.mp3 in its own FOLDER, with NAME as its title
# (an ID3 version 2.3 tag, the title in UTF-16).
song() {  # FOLDER NAME
  mkdir -p "$VESK_MUSIC_DIR/$1"
  printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE >"$WORK/title"
  local size=$(($(stat -c %s "$WORK/title") + 3))  # after the encoding byte and the mark
  {
    printf 'ID3\3\0\0\0\0\0'
    byte $((size + 10))
    printf 'TIT2\0\0\0'
    byte "$size"
    printf '\0\0\1\377\376'
    cat "$WORK/title" "$tone"
  } >"$VESK_MUSIC_DIR/$1/$2.mp3"
}
song A "東京"
song B "Ωя"
song C $'\xcd\xb8\xcd\xb8'  # U+0378 twice: unassigned, so no font has it

ROW=151x18+40+28    # the first row of the listing
TITLE=160x15+40+47  # the title's line in Now Playing
differ() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 || true)" != 0 ]; }
press() {  # KEY WHAT: waits until the screen has changed and come to rest
  shot "$PLAYER" "$WORK/before.png"
  xdotool key "$1"
  wait_until eval 'shot "$PLAYER" "$WORK/after.png" && differ before after' || fail "$2"
  wait_until settled || fail "$2 (coming to rest)"
}

# Repeat One, so that Now Playing stays while the short tone plays on.
mkdir -p "$(dirname "$SETTINGS")"
printf '[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Repeat"=dword:00000001\n' >"$SETTINGS"

"$build/vesk" &
PLAYER=$(wait_for_window $!)
press Return "Browse lists the music folder"
for folder in A B C; do
  press Return "folder $folder opens"
  shot "$PLAYER" "$WORK/row-$folder.png" "$ROW"
  [ $folder = A ] && shot "$PLAYER" "$shots/listing-cjk.png"
  press Return "the file of folder $folder starts"
  shot "$PLAYER" "$WORK/title-$folder.png" "$TITLE"
  [ $folder = A ] && shot "$PLAYER" "$shots/now-playing-cjk.png"
  press Escape "back to the listing of folder $folder"
  press Escape "up to the music folder"
  [ $folder = C ] || press Down "the next folder is selected"
done

for folder in A B; do
  differ row-$folder row-C || fail "the name in folder $folder is drawn as boxes"
  differ title-$folder title-C || fail "the title in folder $folder is drawn as boxes"
done
echo "PASS: $shots/listing-cjk.png $shots/now-playing-cjk.png"
