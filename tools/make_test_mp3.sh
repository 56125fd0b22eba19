#!/usr/bin/env bash
# Makes the MP3 files the tests play: short sine tones encoded with lame, in
# mono and stereo, at 22.05, 44.1 and 48 kHz, constant and variable bit rate,
# with and without the Xing/Info header, and one continuous tone cut into two
# files for the gapless join. Run by hand; the results are committed.
set -euo pipefail
out=${1:-$(dirname "$0")/../tests/data}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tone RATE CHANNELS SECONDS FIRST_SAMPLE FILE: 16-bit little-endian PCM, a
# 440 Hz sine (660 Hz on the right) at half of full scale.
tone() {
  python3 - "$@" <<'PY'
import math, struct, sys
rate, channels, seconds, first, path = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
with open(path, "wb") as f:
    for n in range(first, first + int(rate * seconds)):
        t = n / rate
        frame = [math.sin(2 * math.pi * 440 * t), math.sin(2 * math.pi * 660 * t)][:channels]
        f.write(b"".join(struct.pack("<h", int(16384 * v)) for v in frame))
PY
}

# encode RATE CHANNELS SECONDS NAME LAME-OPTIONS...
encode() {
  local rate=$1 channels=$2 seconds=$3 name=$4
  shift 4
  local mode=s
  [ "$channels" = 1 ] && mode=m
  tone "$rate" "$channels" "$seconds" 0 "$work/$name.raw"
  lame --quiet -r -s "$(echo "scale=2; $rate/1000" | bc)" --bitwidth 16 --signed --little-endian \
    -m "$mode" "$@" "$work/$name.raw" "$out/$name.mp3"
}

encode 22050 1 1 mono_22k_cbr -b 48 --resample 22.05
encode 44100 2 1 stereo_44k_cbr -b 128
encode 48000 2 1 stereo_48k_vbr -V 6
encode 44100 1 1 mono_44k_vbr_noxing -V 6 -t
encode 48000 1 1 mono_48k_cbr_noxing -b 64 -t

# One tone in two files, cut mid-frame so that only a gapless player joins them.
tone 44100 2 1.3 0 "$work/a.raw"
tone 44100 2 1.0 57330 "$work/b.raw"
for part in a b; do
  lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 \
    "$work/$part.raw" "$out/join_$part.mp3"
done
ls -l "$out"
