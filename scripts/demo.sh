#!/usr/bin/env bash
# Installs what is missing, builds, creates the demo help desk in demo/ (when
# it is not there yet) and logs in as a demo user through `kirvs run`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target kirvs

if [ ! -f demo/KIRVS.INI ]; then
  build/kirvs init demo --demo
fi
echo '{"calls":[{"command":"Startup","params":[""]},
  {"command":"Login","params":[{"form":[["txtUserId","ann"],["txtPassword","ann123"]]}]}]}' |
  build/kirvs run --ini demo/KIRVS.INI
