#!/usr/bin/env bash
# Names and titles in other scripts, in a real window under Xvfb: a Japanese
# one and a Greek and Cyrillic one show their letters in the listing and in
# Now Playing, not the boxes of characters that no font has. Keeps
# listing-cjk.png and now-playing-cjk.png in BUILD_FOLDER/screenshots.
# Usage: e2e_scripts.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
tone=$(cd "$(dirname "$0")" && pwd)/data/stereo_44k_cbr.mp3
source "$(dirname "$0")/../tools/xvfb.sh"
mkdir -p "$build/screenshots"
start_xvfb

byte() { printf "\\$(printf %03o "$1")"; }
song() {  # FOLDER NAME: NAME.mp3, titled NAME in an ID3 version 2.3 tag (UTF-16)
  mkdir -p "$VESK_MUSIC_DIR/$1"
  printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE >"$WORK/title"
  local size=$(($(stat -c %s "$WORK/title") + 3))  # with the encoding byte and the mark
  { printf 'ID3\3\0\0\0\0\0'; byte $((size + 10)); printf 'TIT2\0\0\0'; byte "$size"
    printf '\0\0\1\377\376'; cat "$WORK/title" "$tone"; } >"$VESK_MUSIC_DIR/$1/$2.mp3"
}
song A "東京"
song B "Ωя"
song C $'\xcd\xb8\xcd\xb8'  # U+0378 twice: unassigned, so no font has it
# Repeat One, so that Now Playing stays while the short tone plays on.
mkdir -p "$(dirname "$SETTINGS")"
printf '[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"Repeat"=dword:00000001\n' >"$SETTINGS"

differ() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 || true)" != 0 ]; }
press() {  # KEY WHAT: waits until the screen has changed and come to rest
  shot "$PLAYER" "$WORK/before.png"
  xdotool key "$1"
  wait_until eval 'shot "$PLAYER" "$WORK/after.png" && differ before after' || fail "$2"
  wait_until settled || fail "$2 (coming to rest)"
}

"$build/vesk" &
PLAYER=$(wait_for_window $!)
press Return "Browse lists the music folder"
for folder in A B C; do
  press Return "folder $folder opens"
  shot "$PLAYER" "$WORK/row-$folder.png" 151x18+40+28  # the listing's first row
  [ $folder = A ] && shot "$PLAYER" "$build/screenshots/listing-cjk.png"
  press Return "the file of folder $folder starts"
  shot "$PLAYER" "$WORK/title-$folder.png" 160x15+40+47  # the title in Now Playing
  [ $folder = A ] && shot "$PLAYER" "$build/screenshots/now-playing-cjk.png"
  press Escape "back to the listing of folder $folder"
  press Escape "up to the music folder"
  [ $folder = C ] || press Down "the next folder is selected"
done
for folder in A B; do
  differ row-$folder row-C || fail "the name in folder $folder is drawn as boxes"
  differ title-$folder title-C || fail "the title in folder $folder is drawn as boxes"
done
echo "PASS"
