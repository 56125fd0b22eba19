#!/usr/bin/env bash
# Sets up a Debian 12 machine for Vesk, builds it, and then runs the player
# (`tools/dev.sh run`), every test (`tools/dev.sh test`) or the benchmarks
# (`tools/dev.sh bench`). Installs what is missing with apt-get (as root, or
# through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config
          libsdl2-dev libx11-dev libmpg123-dev libfreetype-dev libfontconfig-dev fonts-dejavu-extra
          fonts-droid-fallback
          zlib1g-dev googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          libsystemd-dev xvfb xauth xdotool imagemagick desktop-file-utils appstream
          dbus-daemon dbus-bin playerctl lame mpg123)
# Only the benchmarks compare the player with mpg123 and ffplay playing through
# a PulseAudio server of their own, and count instructions.
BENCH_PACKAGES=(ffmpeg pulseaudio pulseaudio-utils valgrind)

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
}

build() {  # build FOLDER [CMAKE OPTIONS...]; only the TARGETS when they are set
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  # shellcheck disable=SC2086
  ninja -C "$dir" -j2 ${TARGETS:-}
}

case "${1:-}" in
  run)
    install_missing
    TARGETS=vesk build build  # the player, its font and demo music; `test` builds the rest
    exec build/vesk
    ;;
  test)
    install_missing
    tools/fuzz.sh 20
    build build
    (cd build && ctest --output-on-failure -j2)
    build build-asan -DVESK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    (cd build-asan && ctest --output-on-failure -j2)
    ;;
  bench)
    PACKAGES+=("${BENCH_PACKAGES[@]}")
    install_missing
    build build
    tools/benchmarks.sh build
    ;;
  *)
    echo "usage: tools/dev.sh run|test|bench" >&2
    exit 2
    ;;
esac
