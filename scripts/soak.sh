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
# SOAK_STORE=postgres puts the desk in a database of its own on the
# PostgreSQL server of KIRVS_TEST_POSTGRES (dropped afterwards) and, on the
# web, serves it from two `kirvs serve` processes: client n uses node n % 2
# and moves to the other node now and then, mid-session. The same checks
# then run through psql (no integrity_check there):
#   SOAK_STORE=postgres scripts/with-postgres.sh scripts/soak.sh 30 16
#
# Usage: scripts/soak.sh [SECONDS] [CLIENTS]
#        (KIRVS=path/to/kirvs, SOAK_MODE=web|run, SOAK_STORE=sqlite|postgres;
#        SOAK_KEEP_ALIVE=1: the web clients keep their connections open, as
#        browsers do)
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
case "${SOAK_STORE:-sqlite}" in
  sqlite)
    trap 'rm -rf "$desk"' EXIT
    "$kirvs" init "$desk" --demo >/dev/null
    ;;
  postgres)
    server="${KIRVS_TEST_POSTGRES:?soak: SOAK_STORE=postgres needs KIRVS_TEST_POSTGRES (scripts/with-postgres.sh)}"
    # The same server, another database: the URI's last path segment.
    database="kirvs_soak_$$_$RANDOM"
    address="${server%%\?*}"
    uri="${address%/*}/$database${server#"$address"}"
    psql -X -q -v ON_ERROR_STOP=1 "$server" -c "CREATE DATABASE $database"
    trap 'rm -rf "$desk"; psql -X -q "$server" -c "DROP DATABASE IF EXISTS $database WITH (FORCE)" || true' EXIT
    "$kirvs" init "$desk" --demo --database "$uri" >/dev/null
    export SOAK_NODES=2
    ;;
  *) echo "soak: SOAK_STORE is sqlite or postgres" >&2; exit 2 ;;
esac
# Bounded: the clients stop at SECONDS; the check runs once after them. The
# checker stops the server it started, also when it fails.
timeout $(( seconds * 3 + 120 )) \
  python3 "$root/scripts/robustness.py" "$check" "$kirvs" "$desk" \
  "$seconds" "$clients"
