#!/bin/sh
# Makes the demo music of resources/demo from the synthesizer's pieces:
#   tools/make_demo_music.sh <build folder holding make_demo_music>
# Needs lame. The MP3s are kept in the repository; run this only to remake them.
set -eu

build=${1:?usage: $0 <build folder>}
synth="$build/make_demo_music"
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources/demo/Vesk Demo"
[ -x "$synth" ] || { echo "no $synth: build the make_demo_music target first" >&2; exit 1; }
command -v lame >/dev/null || { echo "lame is missing (apt-get install lame)" >&2; exit 1; }

raw=$(mktemp)
trap 'rm -f "$raw"' EXIT
rm -rf "$out"
"$synth" --list | while IFS="$(printf '\t')" read -r id album number title; do
  mkdir -p "$out/$album"
  "$synth" "$id" >"$raw"
  # Mono at 56 kbps keeps the whole set small; tags are ID3v2 only, which the player reads.
  lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m m \
    -b 56 --cbr -q 2 --resample 44.1 \
    --id3v2-only --tt "$title" --ta "Vesk Demo" --tl "$album" --tn "$number" \
    "$raw" "$out/$album/$number $title.mp3"
  echo "$album/$number $title.mp3"
done
du -sh "$here/resources/demo"
