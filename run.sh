#!/usr/bin/env bash
# Installs what is missing, builds, creates the embedded database on the first
# run, and starts Tessaryn.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

ensure_packages
build_tessaryn

if ! build/bin/TessarynDBInit --is-initialized; then
  build/bin/TessarynDBInit
fi
exec build/bin/tessaryn "$@"
