#!/usr/bin/env bash
# Makes the files the tests play: short sine tones encoded with lame (MP3),
# flac (FLAC, also in Ogg), oggenc (Ogg Vorbis), opusenc (Opus) and sox (WAV),
# in mono and stereo at several rates and sample formats, some with tags, and
# one continuous tone cut into two files of each format for the gapless join.
# Run by hand; the results are committed.
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

# wav RATE CHANNELS SECONDS FIRST_SAMPLE FILE [SOX OUTPUT OPTIONS...]: the
# tone as WAV (16-bit unless told), undithered.
wav() {
  local rate=$1 channels=$2 seconds=$3 first=$4 file=$5
  shift 5
  tone "$rate" "$channels" "$seconds" "$first" "$work/tone.raw"
  sox -D -t raw -r "$rate" -e signed -b 16 -c "$channels" "$work/tone.raw" "$@" "$file"
}

# The other formats, each tone a length that no block or packet size divides.
title='Night ☾ 夜明け 𝄞'
wav 44100 2 0.6 0 "$work/t.wav"
flac -s -f --no-seektable -T "TITLE=$title" -T "ARTIST=Ásta" -T "ALBUM=Ωmega" \
  -o "$out/tone_44k_16.flac" "$work/t.wav"
wav 48000 1 0.5 0 "$work/t.wav" -b 24
flac -s -f --ogg -T "ARTIST=Only the artist" -o "$out/tone_48k_24.oga" "$work/t.wav"
wav 22050 1 0.7 0 "$work/t.wav"
oggenc -Q -q 6 -t "$title" -a "Ásta" -l "Ωmega" -o "$out/tone_22k.ogg" "$work/t.wav"
wav 48000 2 0.55 0 "$work/t.wav"
opusenc --quiet --bitrate 160 --title "$title" --artist "Ásta" --album "Ωmega" \
  "$work/t.wav" "$out/tone_48k.opus"
wav 8000 1 0.5 0 "$out/tone_8k_u8.wav" -e unsigned -b 8
wav 44100 2 0.25 0 "$out/tone_44k_16.wav"
wav 48000 1 0.2 0 "$out/tone_48k_24.wav" -b 24
wav 22050 2 0.2 0 "$out/tone_22k_f32.wav" -e floating-point -b 32

# One tone at 48 kHz cut into two files of each format, 15,009 and 9,600 samples.
for part in a b; do
  if [ $part = a ]; then
    wav 48000 1 0.3127 0 "$work/$part.wav"
  else
    wav 48000 1 0.2 15009 "$work/$part.wav"
  fi
  cp "$work/$part.wav" "$out/join_$part.wav"
  flac -s -f -o "$out/join_$part.flac" "$work/$part.wav"
  oggenc -Q -q 6 -o "$out/join_$part.ogg" "$work/$part.wav"
  opusenc --quiet --bitrate 96 "$work/$part.wav" "$out/join_$part.opus"
done
ls -l "$out"
