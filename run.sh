#!/usr/bin/env bash
# Installs what is missing, builds the program, creates the embedded database
# on the first run, and starts Tessaryn: its main window opens.
#
#   TESSARYN_BUILD_DIR   build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

ensure_packages "${TESSARYN_RUNTIME_PACKAGES[@]}"

build="${TESSARYN_BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# only what the program needs to run; the tests are built by ./test.sh
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target tessaryn TessarynDBInit

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "Tessaryn is a desktop program: start it from a graphical session (no DISPLAY or WAYLAND_DISPLAY is set)." >&2
  exit 1
fi

if ! "$build/bin/TessarynDBInit" --is-initialized; then
  "$build/bin/TessarynDBInit"
fi
exec "$build/bin/tessaryn" "$@"
