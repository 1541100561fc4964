#!/usr/bin/env bash
# Fails when a C++ file under src/, include/, tests/ or bench/ differs from
# what clang-format makes of it (.clang-format); names each such file.
#   scripts/check-format.sh        fix with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."

find src include tests bench -name node_modules -prune -o \
  -type f \( -name '*.h' -o -name '*.cc' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
echo "check-format: every file is formatted"
