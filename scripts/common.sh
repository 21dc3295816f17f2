# Shared by run.sh and test.sh: install what is missing, then build.
# shellcheck shell=bash

TESSARYN_PACKAGES=(cmake g++ make pkg-config ccache qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
  libzip-dev libcurl4-openssl-dev sqlite3 libsqlite3-dev postgresql libgtest-dev libgmock-dev
  libbenchmark-dev xvfb xauth zip unzip python3-aiosmtpd)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  for p in "${TESSARYN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

build_tessaryn() {
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$jobs"
}
