#!/usr/bin/env bash
# Crash test: ROUNDS rounds (default 10) on one demo help desk. In each,
# WEB_CLIENTS (default 8) web clients drive `kirvs serve` on a free port of
# 127.0.0.1 while CLIENTS (default 4) `kirvs run` writers work beside them;
# the server is killed with SIGKILL at a random moment, and about a third of
# the writers too. The server is then restarted and a web user's close
# writes the settings file. After each round: the invariants of
# scripts/soak.sh for every success that was reported before the kill,
# KIRVS.INI intact (readable, every key of [Settings] present, DBPath
# unchanged), and no KIRVS.INI.tmp.* file left after that write.
# CRASH_MODE=run kills only `kirvs run` writers, without a server.
# Exits non-zero on any violation.
#
# Usage: scripts/crash-test.sh [ROUNDS] [CLIENTS] [WEB_CLIENTS]
#        (KIRVS=path/to/kirvs, CRASH_MODE=web|run)
set -euo pipefail

rounds="${1:-10}"
clients="${2:-4}"
web_clients="${3:-8}"
root="$(cd "$(dirname "$0")/.." && pwd)"
kirvs="${KIRVS:-$root/build/kirvs}"
[ -x "$kirvs" ] || { echo "crash-test: build $kirvs first" >&2; exit 2; }
desk="$(mktemp -d /tmp/kirvs_crash_XXXXXX)"
trap 'rm -rf "$desk"' EXIT
# Scaled, so that the closer of demo requests does not run out of them.
"$kirvs" init "$desk" --demo --scale 40 >/dev/null
case "${CRASH_MODE:-web}" in
  web) args=(crash "$kirvs" "$desk" "$rounds" "$clients" "$web_clients") ;;
  run) args=(crash-run "$kirvs" "$desk" "$rounds" "$clients") ;;
  *) echo "crash-test: CRASH_MODE is web or run" >&2; exit 2 ;;
esac
timeout $(( rounds * 60 + 120 )) python3 "$root/scripts/robustness.py" "${args[@]}"
