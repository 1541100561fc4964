#!/usr/bin/env bash
# Load test of two web nodes sharing one help desk on PostgreSQL, with wrk on
# loopback: a demo help desk in a fresh database of a throwaway cluster
# (scripts/with-postgres.sh, started here when KIRVS_TEST_POSTGRES is not
# set), served by two `kirvs serve` processes on free ports of 127.0.0.1.
# One login per node; each node's session cookie must work on the other
# node too (sessions live in the database). Then the request list of a
# signed-in session (GET /, where "Show List" leads), 10 seconds each:
#   1. one node alone: wrk with 2 threads and 32 connections,
#   2. one node, two wrk at once, 1 thread and 16 connections each,
#   3. spread over both nodes: the two wrk one per node, each using the
#      cookie the other node gave,
# printing requests/s, p99 latency and error counts. Fails when any answer
# was an error (neither 2xx nor 3xx).
#   scripts/load-nodes.sh [--threads N]   (N: each server's worker threads)
# KIRVS_BUILD_DIR names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${KIRVS_TEST_POSTGRES:-}" ]; then
  scripts/install-deps.sh
  exec scripts/with-postgres.sh "$0" "$@"
fi

server_threads=8
if [ "${1:-}" = "--threads" ]; then server_threads=$2; fi
build=${KIRVS_BUILD_DIR:-build}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target kirvs >/dev/null

work=$(mktemp -d)
servers=()
cleanup() {
  for pid in "${servers[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then
      kill -TERM "$pid"
      wait "$pid" || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

# A database of its own on the cluster: the URI's database name replaced.
database=kirvs_load_$$
psql -q "$KIRVS_TEST_POSTGRES" -c "CREATE DATABASE $database"
"$build/kirvs" init "$work/desk" --demo \
  --database "${KIRVS_TEST_POSTGRES%/*}/$database" >/dev/null

# Starts node $1 on the desk; sets base_$1 to its address.
start_node() {
  local node=$1
  # wrk's connections all come from one address, as a proxy's would; the
  # server's limit per address is meant for clients on their own.
  "$build/kirvs" serve "$work/desk" --host 127.0.0.1 --port 0 \
    --threads "$server_threads" --max-connections-per-address 64 \
    >"$work/serve_$node.out" 2>"$work/access_$node.log" &
  servers+=($!)
  for _ in $(seq 300); do
    grep -q '^Serving' "$work/serve_$node.out" 2>/dev/null && break
    sleep 0.1
  done
  local base
  base=$(sed -n 's|^Serving the help desk at \(http://[^/ ]*\)/.*|\1|p' \
    "$work/serve_$node.out")
  [ -n "$base" ] || {
    echo "node $node did not start"
    cat "$work/serve_$node.out" "$work/access_$node.log"
    exit 1
  }
  printf -v "base_$node" '%s' "$base"
}
start_node a
start_node b

# Signs in as a demo user at $1 as a browser would (the login page's cookie
# and token, then the login post) and prints the session cookie's value.
login() {
  local base=$1 jar
  jar=$(mktemp "$work/jar.XXXXXX")
  local token
  token=$(curl -s -c "$jar" "$base/" |
    sed -n 's/.*name="KIRVSToken" value="\([0-9a-f]*\)".*/\1/p')
  # A login that works answers 303 to the list, which -L follows.
  local page
  page=$(curl -s -L -b "$jar" -c "$jar" --data-urlencode "KIRVSToken=$token" \
    --data-urlencode "KIRVSCommand=Login" --data-urlencode "txtUserID=ann" \
    --data-urlencode "txtPassword=ann123" "$base/")
  [[ $page == *"Outstanding Service Issues"* ]] || return 1
  awk '$6 == "kirvs_session" { print $7 }' "$jar"
}
# Whether session cookie $2 shows the request list at $1.
shows_list() {
  [[ $(curl -s -b "kirvs_session=$2" "$1/") == *"Outstanding Service Issues"* ]]
}
session_a=$(login "$base_a") || { echo "login at node a failed"; exit 1; }
session_b=$(login "$base_b") || { echo "login at node b failed"; exit 1; }
shows_list "$base_b" "$session_a" ||
  { echo "node b does not know node a's session"; exit 1; }
shows_list "$base_a" "$session_b" ||
  { echo "node a does not know node b's session"; exit 1; }

cat >"$work/show_list.lua" <<'LUA'
wrk.method = "GET"
wrk.headers["Cookie"] = "kirvs_session=" .. os.getenv("KV_SESSION")
LUA

source scripts/wrk-report.sh
failures=0
# wrk's latency figure (e.g. 812.00us, 3.20ms, 1.01s) in milliseconds.
in_ms() {
  awk -v v="$1" 'BEGIN {
    n = v + 0
    if (v ~ /us$/) n /= 1000; else if (v ~ /[0-9]s$/) n *= 1000
    printf "%.2f", n }'
}

# Prints the summed requests/s and the worse p99 of the two wrk of two_wrk;
# sets rps_both and p99_both.
sum_line() {
  rps_both=$(cat "$work/wrk_1.out" "$work/wrk_2.out" |
    awk '/^Requests\/sec:/ { s += $2 } END { printf "%.2f", s }')
  p99_both=$(for f in "$work/wrk_1.out" "$work/wrk_2.out"; do
    in_ms "$(awk '$1 == "99%" { print $2 }' "$f")"
    echo
  done | sort -n | tail -1)
  printf '%-26s %10s req/s   p99 %6sms (the worse wrk)\n' \
    "$1" "$rps_both" "$p99_both"
}

# Every worker thread of both nodes started, and the desk's pages cached.
KV_SESSION=$session_a wrk -t2 -c32 -d2s -s "$work/show_list.lua" \
  "$base_a/" >/dev/null
KV_SESSION=$session_b wrk -t2 -c32 -d2s -s "$work/show_list.lua" \
  "$base_b/" >/dev/null

echo "two nodes, kirvs serve --threads $server_threads each;" \
  "request list (GET /) with a signed-in session, 10 s"
one=$(KV_SESSION=$session_a wrk -t2 -c32 -d10s --latency \
  -s "$work/show_list.lua" "$base_a/")
wrk_report "one node (2 thr, 32 conn)" "$one"

# Two wrk at once, 1 thread and 16 connections each: to node $1 with cookie
# $2 and to node $3 with cookie $4; their outputs in wrk_1.out and wrk_2.out.
two_wrk() {
  KV_SESSION=$2 wrk -t1 -c16 -d10s --latency -s "$work/show_list.lua" \
    "$1/" >"$work/wrk_1.out" &
  local first=$!
  KV_SESSION=$4 wrk -t1 -c16 -d10s --latency -s "$work/show_list.lua" \
    "$3/" >"$work/wrk_2.out" &
  wait "$first" $!
}
# The same client shape as the spread run below, on one node: tells the
# node count apart from the shape of the load.
two_wrk "$base_a" "$session_a" "$base_a" "$session_b"
wrk_report "  wrk 1 (1 thr, 16 conn)" "$(cat "$work/wrk_1.out")"
wrk_report "  wrk 2 (1 thr, 16 conn)" "$(cat "$work/wrk_2.out")"
sum_line "one node, 2 x 16 conn"

two_wrk "$base_a" "$session_b" "$base_b" "$session_a"
wrk_report "  node a (1 thr, 16 conn)" "$(cat "$work/wrk_1.out")"
wrk_report "  node b (1 thr, 16 conn)" "$(cat "$work/wrk_2.out")"
sum_line "both nodes (sum)"
rps_one=$(awk '/^Requests\/sec:/ { print $2 }' <<<"$one")
awk -v a="$rps_one" -v b="$rps_both" -v p="$(in_ms "$(awk '$1 == "99%" { print $2 }' <<<"$one")")" \
  -v q="$p99_both" 'BEGIN {
    printf "both nodes / one node: %.2fx requests/s, %.2fx p99\n", b / a, q / p }'

# Each node stops once its requests in flight and what it still has to
# write are done: a stop that waits on a backlog shows here.
for index in 0 1; do
  started=$(date +%s%N)
  kill -TERM "${servers[$index]}"
  wait "${servers[$index]}" || true
  echo "node $([ "$index" = 0 ] && echo a || echo b) stopped in" \
    "$(( ($(date +%s%N) - started) / 1000000 )) ms"
done

for node in a b; do
  failed=$(grep ' status=' "$work/access_$node.log" |
    grep -vcE ' status=[23]' || true)
  echo "node $node access log: $(grep -c ' status=' "$work/access_$node.log")" \
    "requests, $failed answers neither 2xx nor 3xx"
  [ "$failed" = 0 ] || failures=$((failures + 1))
done
exit "$failures"
