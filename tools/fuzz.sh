#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan, UBSan) and runs each for a bounded time,
# seeded with the tags of fuzz/ and the test tones of tests/data.
# Usage: tools/fuzz.sh [SECONDS_EACH]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVESK_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
  >/dev/null
ninja -C build-fuzz -j2 fuzz_tags fuzz_sound
declare -A seeds=([tags]="fuzz/corpus_tags/*"
                  [sound]="tests/data/mono_*.mp3 tests/data/tone_* tests/data/join_a.*")
for target in tags sound; do
  corpus=$(mktemp -d)
  # shellcheck disable=SC2086
  cp ${seeds[$target]} "$corpus"
  echo "fuzz_$target: ${seconds} s"
  SDL_AUDIODRIVER=dummy LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
    build-fuzz/fuzz_$target -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 \
    "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
