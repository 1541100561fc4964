#!/usr/bin/env bash
# Crash test: ROUNDS rounds (default 10) of concurrent `kirvs run` writers on
# one demo help desk, about a third of them killed with SIGKILL at a random
# moment. After each round: the invariants of scripts/soak.sh for every
# success that was reported, KIRVS.INI intact (readable, every key of
# [Settings] present, DBPath unchanged), and no KIRVS.INI.tmp.* file left
# after the next write of the settings file. Exits non-zero on any violation.
#
# Usage: scripts/crash-test.sh [ROUNDS] [CLIENTS]   (KIRVS=path/to/kirvs)
set -euo pipefail

rounds="${1:-10}"
clients="${2:-4}"
root="$(cd "$(dirname "$0")/.." && pwd)"
kirvs="${KIRVS:-$root/build/kirvs}"
[ -x "$kirvs" ] || { echo "crash-test: build $kirvs first" >&2; exit 2; }
desk="$(mktemp -d /tmp/kirvs_crash_XXXXXX)"
trap 'rm -rf "$desk"' EXIT
# Scaled, so that the closer of demo requests does not run out of them.
"$kirvs" init "$desk" --demo --scale 40 >/dev/null
timeout $(( rounds * 60 + 120 )) \
  python3 "$root/scripts/robustness.py" crash "$kirvs" "$desk" "$rounds" "$clients"
