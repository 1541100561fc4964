#!/usr/bin/env bash
# Installs what is missing, builds, and serves the demo help desk (in demo/,
# created on the first run) at http://127.0.0.1:8080 until Ctrl-C.
# Arguments go to `kirvs serve`, e.g. scripts/serve.sh --port 9090; its own
# defaults (127.0.0.1, port 8080) hold for what they do not name.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --serve
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target kirvs

exec build/kirvs serve demo "$@"
