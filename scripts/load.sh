#!/usr/bin/env bash
# Load test of the web front with wrk on loopback: a demo help desk served by
# `kirvs serve` on a free port of 127.0.0.1, then
#   1. the login page (GET /), 10 seconds,
#   2. the request list of a signed-in session (GET /, where "Show List"
#      leads), 10 seconds,
# each with 2 threads and 32 connections, and the server's resident memory
# after the first 1,000 requests, after 100,000 and at the end. Fails when
# any answer was an error (neither 2xx nor 3xx), or memory grew by more than 10%.
#   scripts/load.sh [--threads N]   (N: the server's worker threads)
# KIRVS_BUILD_DIR names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."

server_threads=8
if [ "${1:-}" = "--threads" ]; then server_threads=$2; fi
build=${KIRVS_BUILD_DIR:-build}

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target kirvs >/dev/null

work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill -TERM "$server"
    wait "$server" || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# wrk's 32 connections all come from one address, as a proxy's would; the
# server's limit per address is meant for clients on their own.
"$build/kirvs" serve "$work/desk" --host 127.0.0.1 --port 0 \
  --threads "$server_threads" --max-connections-per-address 64 \
  >"$work/serve.out" 2>"$work/access.log" &
server=$!
for _ in $(seq 300); do
  grep -q '^Serving' "$work/serve.out" 2>/dev/null && break
  sleep 0.1
done
base=$(sed -n 's|^Serving the help desk at \(http://[^/ ]*\)/.*|\1|p' \
  "$work/serve.out")
[ -n "$base" ] || { echo "kirvs serve did not start"; cat "$work/serve.out"; exit 1; }

# Sign in as a demo user, as a browser would: the login page's cookie and
# token, then the login post.
jar=$work/cookies
token=$(curl -s -c "$jar" "$base/" |
  sed -n 's/.*name="KIRVSToken" value="\([0-9a-f]*\)".*/\1/p')
# A login that works answers 303 to the list, which -L follows.
page=$(curl -s -L -b "$jar" -c "$jar" --data-urlencode "KIRVSToken=$token" \
  --data-urlencode "KIRVSCommand=Login" --data-urlencode "txtUserID=ann" \
  --data-urlencode "txtPassword=ann123" "$base/")
session=$(awk '$6 == "kirvs_session" { print $7 }' "$jar")
[ -n "$session" ] && [[ $page == *"Outstanding Service Issues"* ]] ||
  { echo "login failed"; exit 1; }

cat >"$work/show_list.lua" <<'LUA'
wrk.method = "GET"
wrk.headers["Cookie"] = "kirvs_session=" .. os.getenv("KV_SESSION")
LUA
# Stops each wrk thread after KV_LIMIT answers, for runs of a set size.
cat >"$work/bounded.lua" <<'LUA'
local limit = tonumber(os.getenv("KV_LIMIT"))
local answers = 0
function response(status, headers, body)
  answers = answers + 1
  if answers >= limit then wrk.thread:stop() end
end
LUA
cat "$work/show_list.lua" "$work/bounded.lua" >"$work/show_list_bounded.lua"

export KV_SESSION=$session
# Access-log lines only: the server may also warn on stderr at start.
served() { grep -c ' status=' "$work/access.log" || true; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$server/status"; }
source scripts/wrk-report.sh
failures=0

# Runs wrk and prints its figures; counts errors and non-2xx answers.
measure() {
  local name=$1
  shift
  wrk_report "$name" "$(wrk -t2 -c32 -d10s --latency "$@")"
}

# The first 1,000 requests, as many at once as later on, so that every
# worker thread has started: half login pages, half lists.
KV_LIMIT=250 wrk -t2 -c32 -d60s -s "$work/bounded.lua" "$base/" >/dev/null
KV_LIMIT=250 wrk -t2 -c32 -d60s -s "$work/show_list_bounded.lua" "$base/" \
  >/dev/null
first_count=$(served)
first_rss=$(rss_kib)

# Then on to 100,000 requests in all, the same mix.
left=$((100000 - $(served)))
KV_LIMIT=$(((left + 3) / 4)) wrk -t2 -c32 -d300s -s "$work/bounded.lua" \
  "$base/" >/dev/null
left=$((100000 - $(served)))
KV_LIMIT=$(((left + 1) / 2)) wrk -t2 -c32 -d300s \
  -s "$work/show_list_bounded.lua" "$base/" >/dev/null
hundred_count=$(served)
hundred_rss=$(rss_kib)

echo "kirvs serve --threads $server_threads; wrk: 2 threads, 32 connections, 10 s"
measure "login page (GET /)" "$base/"
measure "request list (GET /)" -s "$work/show_list.lua" "$base/"
last_count=$(served)
last_rss=$(rss_kib)

growth() {
  awk -v a="$first_rss" -v b="$1" 'BEGIN { printf "%+.1f%%", (b - a) * 100 / a }'
}
echo "resident memory: $first_rss KiB after $first_count requests;" \
  "$hundred_rss KiB after $hundred_count ($(growth "$hundred_rss"));" \
  "$last_rss KiB after $last_count ($(growth "$last_rss"))"
# The login's 303 to the list is an answer that worked.
failed=$(grep ' status=' "$work/access.log" | grep -vcE ' status=[23]' || true)
echo "access log: $last_count requests, $failed answers neither 2xx nor 3xx"

kill -TERM "$server"
wait "$server"
server=
echo "server stopped cleanly"

for rss in "$hundred_rss" "$last_rss"; do
  if awk -v a="$first_rss" -v b="$rss" 'BEGIN { exit !(b > a * 1.10) }'; then
    echo "FAIL: resident memory grew by more than 10% ($rss KiB)"
    failures=$((failures + 1))
  fi
done
[ "$failed" = 0 ] || failures=$((failures + 1))
exit "$failures"
