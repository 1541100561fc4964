#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh             the normal build, in build/, then the browser
#                               tests in headless Chromium (screenshots in
#                               build/browser-screenshots/)
#   scripts/test.sh --sanitize  under AddressSanitizer and UndefinedBehavior-
#                               Sanitizer, in build-sanitize/; any report fails
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=build
cmake_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  cmake_options=(-DCMAKE_BUILD_TYPE=Debug -DKIRVS_SANITIZE=ON
                 -DKIRVS_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build_dir" "${cmake_options[@]}"
cmake --build "$build_dir" -j"$(nproc)"
# The tests of both stores: a throwaway PostgreSQL cluster for this run.
scripts/with-postgres.sh \
  ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"

if [ "$build_dir" = build ]; then
  npm ci --prefix tests/browser --no-audit --no-fund
  KIRVS_BINARY="$PWD/build/kirvs" \
  KIRVS_SCREENSHOTS="$PWD/build/browser-screenshots" \
    node --test tests/browser/help_desk.test.mjs
fi
