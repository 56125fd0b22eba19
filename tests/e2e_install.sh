#!/usr/bin/env bash
# Installed: in place, valid, movable; uninstalled: nothing left. Usage: e2e_install.sh BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib_e2e.sh" "$1"

# The install writes its manifest into the build folder: keep a real one.
manifest=$build/install_manifest.txt
[ -e "$manifest" ] && cp "$manifest" "$WORK/manifest.kept"
restore_manifest() {
  if [ -e "$WORK/manifest.kept" ]; then cp "$WORK/manifest.kept" "$manifest"; else rm -f "$manifest"; fi
  stop_all
}
trap restore_manifest EXIT

prefix=/opt/vesk-test
dest=$WORK/dest
DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >/dev/null
root=$dest$prefix
id=org.mireva.Vesk
for file in share/vesk/Tolo.LICENSE "share/vesk/demo/Vesk Demo/Morning/01 Sunrise.mp3"; do
  [ -f "$root/$file" ] || fail "not installed: $file"
done
for size in 16 32 48 128 256; do
  icon=$root/share/icons/hicolor/${size}x$size/apps/$id.png
  [ "$(identify -format %wx%h "$icon")" = "${size}x$size" ] || fail "no $size-pixel icon"
done
desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >/dev/null ||
  fail "AppStream file: $(appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml")"

# Moved, with no user music: the font and the demo music are found beside it.
moved=$WORK/moved
cp -a "$root" "$moved"
cp "$build/tool_program_files" "$moved/bin/"
unset VESK_MUSIC_DIR
found=$("$moved/bin/tool_program_files")
[ "$found" = "$moved/share/vesk/Tolo.ttf
$moved/share/vesk/demo" ] || fail "the moved program looks in: $found"

start_xvfb
shoot() {  # PROGRAM PNG
  start_player "$1"
  shot "$PLAYER" "$2"
  kill -TERM "$pid"
  finish "$1"
}
shoot "$build/vesk" "$WORK/built.png"
shoot "$moved/bin/vesk" "$WORK/installed.png"
same_pictures "$WORK/built.png" "$WORK/installed.png" || fail "the installed menu differs"
# Without its font the text is drawn in another face, which the check above sees.
rm "$moved/share/vesk/Tolo.ttf"
shoot "$moved/bin/vesk" "$WORK/fontless.png"
pictures_differ "$WORK/built.png" "$WORK/fontless.png" || fail "the menu looks the same without the font"

DESTDIR=$dest cmake --build "$build" --target uninstall >/dev/null
left=$(find "$dest" -mindepth 1 -not -path "$dest${prefix%/*}" -not -path "$dest$prefix" \
  -not -path "$root/bin" -not -path "$root/share")
[ -z "$left" ] || fail "left behind: $left"
echo "PASS"
