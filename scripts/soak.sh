#!/usr/bin/env bash
# Soak test: CLIENTS concurrent clients of `kirvs run` (default 4) register,
# save, add activities to, close and cross-save requests on one demo help
# desk for SECONDS (default 20); then the database is checked: every reported
# success stored exactly once, no request number duplicated or lost, each
# request in exactly one of Current_Requests and Completed_Requests, one
# audit entry per save, no activity of a request that exists nowhere, and
# PRAGMA integrity_check = ok. Exits non-zero on any violation.
#
# Usage: scripts/soak.sh [SECONDS] [CLIENTS]   (KIRVS=path/to/kirvs)
set -euo pipefail

seconds="${1:-20}"
clients="${2:-4}"
root="$(cd "$(dirname "$0")/.." && pwd)"
kirvs="${KIRVS:-$root/build/kirvs}"
[ -x "$kirvs" ] || { echo "soak: build $kirvs first" >&2; exit 2; }
desk="$(mktemp -d /tmp/kirvs_soak_XXXXXX)"
trap 'rm -rf "$desk"' EXIT
"$kirvs" init "$desk" --demo >/dev/null
# Bounded: the clients stop at SECONDS; the check runs once after them.
timeout $(( seconds * 3 + 120 )) \
  python3 "$root/scripts/robustness.py" soak "$kirvs" "$desk" "$seconds" "$clients"
