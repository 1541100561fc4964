#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
#   scripts/install-deps.sh          to build and run every test
#   scripts/install-deps.sh --serve  to build and serve only (SQLite)
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format jq
  libsqlite3-dev sqlite3
  # The second store's client library (a desk on PostgreSQL).
  libpq-dev
  libcpp-httplib-dev libssl-dev nlohmann-json3-dev libcli11-dev
  # Password hashing (argon2id) and the second factor's QR code.
  libsodium-dev libqrencode-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
testing=1
[ "${1:-}" = "--serve" ] && testing=0
if [ "$testing" -eq 1 ]; then
  packages+=(
    # A PostgreSQL server for the tests (scripts/with-postgres.sh starts a
    # throwaway cluster).
    postgresql
    # The fuzz targets (scripts/fuzz.sh): clang with libFuzzer and
    # sanitizers.
    clang libclang-rt-14-dev
    # The browser tests (headless Chromium) and the load script.
    chromium wrk curl
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

# Node.js and npm drive the browser tests. A machine may have them from
# elsewhere (NodeSource's nodejs brings its own npm and conflicts with
# Debian's), so only a missing command is installed from Debian.
if [ "$testing" -eq 1 ]; then
  command -v node >/dev/null 2>&1 || missing+=(nodejs)
  command -v npm >/dev/null 2>&1 || missing+=(npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    "${missing[@]}"
fi
