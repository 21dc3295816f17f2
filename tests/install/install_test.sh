#!/bin/bash
# Installs the built program as a user or a packager would and checks what
# the desktop reads of it: the files in their places, the launcher and the
# metainfo accepted by the freedesktop validators, a Debian package that
# unpacks and whose program starts, from where it was unpacked, as far as its
# main window on a fresh data folder.
#
# Usage: install_test.sh <build folder>
set -euo pipefail

build=$(cd "$1" && pwd)
id=com.morviksoftware.Tessaryn
work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

echo "== cmake --install"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
for file in bin/tessaryn bin/TessarynDBInit lib/tessaryn/libtessaryn_core.so lib/tessaryn/libtessaryn_gui.so \
            share/tessaryn/AppResources.rcc share/tessaryn/PlusSign.gif share/tessaryn/MinusSign.gif \
            share/tessaryn/help/1.html \
            share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/icons/hicolor/scalable/apps/$id.svg \
            share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/48x48/apps/$id.png \
            share/icons/hicolor/256x256/apps/$id.png; do
  [ -f "$work/prefix/$file" ] || fail "$file was not installed"
done
[ -x "$work/prefix/bin/tessaryn" ] || fail "tessaryn is not executable"

echo "== validators"
desktop-file-validate "$work/prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$work/prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); assert r.tag.endswith("svg"), r.tag' \
  "$work/prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the SVG icon is not an SVG document"
file "$work/prefix/share/icons/hicolor/48x48/apps/$id.png" | grep -q "48 x 48" || fail "the 48x48 icon is not 48x48"

echo "== cpack -G DEB"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/pkg/*.deb)
dpkg-deb --field "$deb" Package | grep -qx tessaryn || fail "package name"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libzip4 libqt6sql6-sqlite; do
  grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed"
done
dpkg -x "$deb" "$work/root"
root="$work/root/usr"
[ -f "$root/share/applications/$id.desktop" ] || fail "the package has no launcher"

echo "== the unpacked program"
"$root/bin/tessaryn" --version | grep -q '^tessaryn [0-9]' || fail "tessaryn --version"
"$root/bin/TessarynDBInit" --version | grep -q '^TessarynDBInit [0-9]' || fail "TessarynDBInit --version"
export TESSARYN_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/share"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset TESSARYN_STARTED_BY_APP DBUS_SESSION_BUS_ADDRESS
"$root/bin/TessarynDBInit" >"$work/dbinit.log" 2>&1 || { cat "$work/dbinit.log"; fail "TessarynDBInit"; }
[ -f "$TESSARYN_HOME/tessaryn.db" ] || fail "no database was created"

QT_LOGGING_RULES="tessaryn.startup.info=true" "$root/bin/tessaryn" 2>"$work/run.log" &
pid=$!
for _ in $(seq 1 300); do
  grep -q "main window shown" "$work/run.log" && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/run.log"; fail "the program ended before its main window showed"; }
  sleep 0.1
done
grep -q "main window shown" "$work/run.log" || { cat "$work/run.log"; fail "no main window within 30 s"; }
# It found its pictures and help where the package put them.
grep -q "program data in $work/root/usr/share/tessaryn" "$work/run.log" \
  || { cat "$work/run.log"; fail "the program did not find its data beside its install"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || { cat "$work/run.log"; fail "ending on SIGTERM gave exit status $status"; }
grep -q "main window closed" "$work/run.log" || fail "SIGTERM did not end the program through its main window"
echo "install check passed"
