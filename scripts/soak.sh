#!/usr/bin/env bash
# Soak test of one demo help desk for SECONDS (default 20). By default
# CLIENTS (default 16) web clients drive `kirvs serve` on a free port of
# 127.0.0.1 as support engineers in a browser would: each logs in once as a
# demo user, then registers requests, saves them, adds activities and closes
# every other one. SOAK_MODE=run uses CLIENTS (default 4) concurrent clients
# of `kirvs run` instead. Afterwards the database is checked: every reported
# success stored exactly once, no request number duplicated or lost, each
# request in exactly one of Current_Requests and Completed_Requests, one
# audit entry per save, no activity of a request that exists nowhere, and
# PRAGMA integrity_check = ok. Exits non-zero on any violation.
#
# Usage: scripts/soak.sh [SECONDS] [CLIENTS]
#        (KIRVS=path/to/kirvs, SOAK_MODE=web|run; SOAK_KEEP_ALIVE=1: the
#        web clients keep their connections open, as browsers do)
set -euo pipefail

mode="${SOAK_MODE:-web}"
case "$mode" in
  web) default_clients=16 check=soak ;;
  run) default_clients=4 check=soak-run ;;
  *) echo "soak: SOAK_MODE is web or run" >&2; exit 2 ;;
esac
seconds="${1:-20}"
clients="${2:-$default_clients}"
root="$(cd "$(dirname "$0")/.." && pwd)"
kirvs="${KIRVS:-$root/build/kirvs}"
[ -x "$kirvs" ] || { echo "soak: build $kirvs first" >&2; exit 2; }
desk="$(mktemp -d /tmp/kirvs_soak_XXXXXX)"
trap 'rm -rf "$desk"' EXIT
"$kirvs" init "$desk" --demo >/dev/null
# Bounded: the clients stop at SECONDS; the check runs once after them. The
# checker stops the server it started, also when it fails.
timeout $(( seconds * 3 + 120 )) \
  python3 "$root/scripts/robustness.py" "$check" "$kirvs" "$desk" \
  "$seconds" "$clients"
