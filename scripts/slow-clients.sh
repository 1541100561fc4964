#!/usr/bin/env bash
# The web front against clients that trickle their requests, at full length:
# 64 connections from 127.0.0.1 sending a byte every 3 seconds for 30
# seconds, with the server's default limits, while 20 probes from 127.0.0.2
# must each be answered within a second. ctest runs the same test for 3
# seconds with shorter limits.
#   scripts/slow-clients.sh [SECONDS]   (default 30)
# KIRVS_BUILD_DIR names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KIRVS_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kirvs_tests >/dev/null
KIRVS_SLOW_CLIENT_SECONDS=${1:-30} "$build/kirvs_tests" \
  --gtest_filter=HttpServerTest.SlowClientsDoNotHoldUpOthers
