#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format jq
  libsqlite3-dev sqlite3
  # The second store: libpq to build, a server for the tests
  # (scripts/with-postgres.sh starts a throwaway cluster).
  postgresql libpq-dev
  libcpp-httplib-dev libssl-dev nlohmann-json3-dev libcli11-dev
  # Password hashing (argon2id) and the second factor's QR code.
  libsodium-dev libqrencode-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # The fuzz targets (scripts/fuzz.sh): clang with libFuzzer and sanitizers.
  clang libclang-rt-14-dev
  # The browser tests (headless Chromium) and the load script.
  chromium wrk curl
)

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
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    "${missing[@]}"
fi
