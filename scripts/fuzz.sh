#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz and runs each for SECONDS
# (default 60). A crash, a sanitizer report or a broken oracle fails the
# script with exit 1 and leaves the input that caused it in
# build-fuzz/findings/. Corpora grow in build-fuzz/corpus/, seeded from
# tests/fuzz/corpus/. To replay a finding:
#   build-fuzz/tests/fuzz/TARGET_fuzz build-fuzz/findings/TARGET-crash-...
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail

seconds="${1:-60}"
shift || true
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(settings_file search_criteria request_parsing run_json run_command)
fi

command -v clang++ >/dev/null || {
  echo "fuzz: clang++ is missing; run scripts/install-deps.sh" >&2
  exit 2
}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKIRVS_FUZZ=ON \
  -DKIRVS_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/findings"
failed=()
summary=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/$target.log"
  mkdir -p "$corpus"
  echo "== $target: ${seconds}s"
  set +e
  (cd "$build" && "./tests/fuzz/${target}_fuzz" \
      -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
      -dict="$root/tests/fuzz/kirvs.dict" \
      -artifact_prefix="$build/findings/$target-" \
      -print_final_stats=1 \
      "$corpus" "$root/tests/fuzz/corpus/$target") >"$log" 2>&1
  code=$?
  set -e
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" |
          grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  line="$target: ${execs:-?} runs, coverage ${cov:-?} edges"
  if [ $code -ne 0 ]; then
    failed+=("$target")
    line="$line, FAILED (exit $code; see $log and build-fuzz/findings/)"
    grep -m5 -E 'ERROR|runtime error|unescaped|abort|SUMMARY' "$log" >&2 || true
  fi
  echo "$line"
  summary+=("$line")
done

echo
printf '%s\n' "${summary[@]}"
echo "$(( ${#targets[@]} - ${#failed[@]} )) passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ] || exit 1
