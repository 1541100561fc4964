#!/usr/bin/env bash
# Proves the layer rule: compiled with the flags of a layer's (or a web
# room's) own sources, an include of a layer above it does not compile, and
# an include of its own or of one beneath it does.
#   scripts/check-layers.sh [BUILD_DIR]   (default build/; configured first)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
commands=$build/compile_commands.json
if [ ! -f "$commands" ]; then
  echo "check-layers: no $commands; run cmake -S . -B $build first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The compile command of a source directly in src/DIR, without its source
# and object file.
flags_of() {
  local command
  command=$(jq -r --arg dir "$PWD/src/$1/" \
    'map(select((.file | startswith($dir)) and
                ((.file | ltrimstr($dir)) | contains("/") | not)))
     | .[0].command // empty' "$commands")
  if [ -z "$command" ]; then
    echo "check-layers: no source of src/$1 in $commands" >&2
    exit 1
  fi
  local words flags=() skip=
  read -ra words <<<"$command"
  for word in "${words[@]}"; do
    if [ -n "$skip" ]; then skip=; continue; fi
    case $word in
      -o | -c) skip=1 ;;
      *) flags+=("$word") ;;
    esac
  done
  printf '%s\n' "${flags[@]}"
}

failures=0
# check DIR HEADER ok|refused: compiles `#include "HEADER"` as a source of
# src/DIR would be compiled.
check() {
  local dir=$1 header=$2 expected=$3 flags
  mapfile -t flags < <(flags_of "$dir")
  printf '#include "%s"\n' "$header" >"$work/probe.cc"
  local outcome=ok
  if ! "${flags[@]}" -fsyntax-only "$work/probe.cc" 2>"$work/errors"; then
    outcome=refused
    # Refused for the right reason: the header is out of sight.
    grep -q "No such file" "$work/errors" || outcome="failed otherwise"
  fi
  if [ "$outcome" = "$expected" ]; then
    echo "ok: src/$dir including $header: $outcome"
  else
    echo "FAIL: src/$dir including $header: $outcome, expected $expected"
    sed 's/^/    /' "$work/errors" | head -5
    failures=$((failures + 1))
  fi
}

check platform platform/status.h ok
check platform kirvs/variant.h ok
check platform data/settings.h refused
check platform web/web_server.h refused
check platform kirvs/session.h refused
check data platform/record_source.h ok
check data pages/list_table.h refused
check login pages/page_fragments.h ok
check login session/command_table.h refused
check session requests/request_list.h ok
check session web/serve.h refused
check web/pages web/pages/page.h ok
check web/pages web/routes/front.h refused
check web/identity web/http/http_server.h refused
check web/http web/pages/problem_pages.h ok
check web/http web/routes/button_map.h refused
check web/routes web/identity/session_store.h ok
check web/routes web/web_server.h refused
check cli web/serve.h ok

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures check(s) failed" >&2
  exit 1
fi
echo "check-layers: every layer sees only itself and what lies beneath it"
