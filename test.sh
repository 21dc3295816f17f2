#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the database tests on
# the embedded SQLite engine and on a throwaway PostgreSQL server.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
source scripts/pg-test-server.sh

ensure_packages
build_tessaryn

trap stop_pg EXIT
start_pg
export TESSARYN_REQUIRE_PG=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc 2>/dev/null || echo 2)" --timeout 600 "$@"

# The engine's and the monitored folder's tests again, under the sanitizers
# (each test carries its program's name as a label); Qt's own leaks and the
# undefined behaviour of its headers are noise.
build_sanitize
ASAN_OPTIONS=detect_leaks=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions="$PWD/tests/support/ubsan.supp" \
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc 2>/dev/null || echo 2)" --timeout 600 \
  -L "^($(IFS='|'; echo "${TESSARYN_SANITIZE_TESTS[*]}"))\$"
