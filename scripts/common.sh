# Shared by run.sh and test.sh: install what is missing, then build.
# shellcheck shell=bash

TESSARYN_PACKAGES=(cmake g++ make pkg-config ccache qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
  libzip-dev libcurl4-openssl-dev sqlite3 libsqlite3-dev libpq-dev postgresql postgresql-client libgtest-dev libgmock-dev
  libbenchmark-dev xvfb xauth zip unzip 7zip python3-aiosmtpd qtkeychain-qt6-dev openssl
  gnome-keyring dbus desktop-file-utils appstream dpkg-dev file adwaita-icon-theme)

# Needed only when the program runs: Qt opens files and folders with the
# desktop's programs through xdg-open; without it nothing can be opened. The
# tests never hand anything to the desktop, so test.sh does without it.
# pg_dump and pg_restore back up and restore a database on a shared server.
TESSARYN_RUNTIME_PACKAGES=(xdg-utils postgresql-client)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs what is missing of TESSARYN_PACKAGES and of the packages given
# (run.sh, which starts the program, gives TESSARYN_RUNTIME_PACKAGES).
ensure_packages() {
  local wanted=("${TESSARYN_PACKAGES[@]}" "$@")
  local missing=()
  for p in "${wanted[@]}"; do
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

# The test programs of the engine and the monitored folder, built over the
# core in build-sanitize with AddressSanitizer and UndefinedBehaviorSanitizer;
# unoptimised, as the sanitizers make an optimising compile three times slower.
TESSARYN_SANITIZE_TESTS=(test_engine_filehelpers test_engine_sorting test_engine_zip test_engine_categories
  test_engine_entrydata test_engine_filelists test_engine_packaging test_engine_manager test_engine_capture
  test_engine_smtp test_engine_transfers test_engine_monitorwatcher)

build_sanitize() {
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTESSARYN_SANITIZE=ON >/dev/null
  cmake --build build-sanitize -j"$jobs" --target "${TESSARYN_SANITIZE_TESTS[@]}"
}
