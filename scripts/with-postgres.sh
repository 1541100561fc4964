#!/usr/bin/env bash
# Runs COMMAND with a throwaway PostgreSQL cluster for the tests:
#   scripts/with-postgres.sh COMMAND [ARGS...]
# The cluster lives in a temporary folder, listens only on 127.0.0.1 on a
# free port (its socket in the same folder), trusts loopback connections, and
# is stopped and removed when COMMAND ends, also when it fails or is
# interrupted. COMMAND sees KIRVS_TEST_POSTGRES, the URI of the cluster's
# "postgres" database, and exits with COMMAND's status.
#
# PostgreSQL refuses to run as root: as root the cluster runs as the
# "postgres" user that Debian's package creates.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

bin_dir=""
for candidate in /usr/lib/postgresql/15/bin "$(dirname "$(command -v initdb 2>/dev/null || echo /nonexistent/initdb)")"; do
  if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ]; then
    bin_dir=$candidate
    break
  fi
done
if [ -z "$bin_dir" ]; then
  echo "$0: initdb and pg_ctl not found (apt-get install postgresql)" >&2
  exit 2
fi

as_owner=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  if ! id "$owner" >/dev/null 2>&1; then
    echo "$0: running as root, but there is no user '$owner' to run as" >&2
    exit 2
  fi
  as_owner=(runuser -u "$owner" --)
fi

cluster=$(mktemp -d "${TMPDIR:-/tmp}/kirvs-postgres.XXXXXX")
data="$cluster/data"
started=0
cleanup() {
  if [ "$started" -eq 1 ]; then
    "${as_owner[@]}" "$bin_dir/pg_ctl" -D "$data" -m immediate -w stop \
      >/dev/null 2>&1 || true
  fi
  rm -rf "$cluster"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ ${#as_owner[@]} -eq 0 ] || chown "$owner" "$cluster"
chmod 700 "$cluster"
"${as_owner[@]}" "$bin_dir/initdb" -D "$data" -U "$owner" --auth=trust \
  --encoding=UTF8 --locale=C.UTF-8 --no-sync >"$cluster/initdb.log" 2>&1 || {
  cat "$cluster/initdb.log" >&2
  exit 1
}

# A port taken between choosing it and binding it makes the start fail;
# another port is tried then.
port=""
for _ in $(seq 1 20); do
  candidate=$((20000 + RANDOM % 40000))
  if "${as_owner[@]}" "$bin_dir/pg_ctl" -D "$data" -w -t 30 \
      -l "$cluster/server.log" \
      -o "-c listen_addresses=127.0.0.1 -p $candidate -k $cluster -c fsync=off -c max_connections=200" \
      start >/dev/null 2>&1; then
    port=$candidate
    started=1
    break
  fi
done
if [ -z "$port" ]; then
  echo "$0: the PostgreSQL server did not start:" >&2
  cat "$cluster/server.log" >&2 || true
  exit 1
fi

export KIRVS_TEST_POSTGRES="postgresql://$owner@127.0.0.1:$port/postgres"
echo "PostgreSQL for the tests: $KIRVS_TEST_POSTGRES" >&2
status=0
"$@" || status=$?
exit "$status"
