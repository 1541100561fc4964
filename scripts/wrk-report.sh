# Sourced by the load scripts: wrk_report NAME OUTPUT prints the figures of
# wrk's OUTPUT (run with --latency) under NAME, and on error answers or
# socket errors counts one more in the caller's `failures` and prints the
# whole output.
wrk_report() {
  local name=$1 out=$2
  local rps p50 p99 non2xx errors
  rps=$(awk '/^Requests\/sec:/ { print $2 }' <<<"$out")
  p50=$(awk '$1 == "50%" { print $2 }' <<<"$out")
  p99=$(awk '$1 == "99%" { print $2 }' <<<"$out")
  non2xx=$(awk '/Non-2xx or 3xx responses:/ { print $5 }' <<<"$out")
  errors=$(awk '/Socket errors:/ { print $4 + $6 + $8 + $10 }' <<<"$out" |
    tr -d ',')
  non2xx=${non2xx:-0}
  errors=${errors:-0}
  printf '%-26s %10s req/s   p50 %8s   p99 %8s   non-2xx %s   errors %s\n' \
    "$name" "$rps" "$p50" "$p99" "$non2xx" "$errors"
  if [ "$non2xx" != 0 ] || [ "$errors" != 0 ]; then
    failures=$((failures + 1))
    echo "$out"
  fi
}
