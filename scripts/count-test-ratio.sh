#!/bin/sh
# Prints how many code lines the tests hold against the engine: non-blank,
# non-comment lines of .cc/.h/.mjs/.js/.py/.sh files under tests/ (node_modules
# left out) against those under src/ and include/.
set -eu
cd "$(dirname "$0")/.."

# Code lines of the files named on stdin. A line is a comment when it starts
# with // or # (for .py and .sh), or lies inside a /* */ block.
count_lines() {
  xargs -r awk '
    FNR == 1 { in_block = 0; hash = (FILENAME ~ /\.(py|sh)$/) }
    {
      line = $0
      sub(/^[ \t]+/, "", line)
      sub(/[ \t\r]+$/, "", line)
      if (in_block) {
        if (index(line, "*/")) in_block = 0
        next
      }
      if (line == "") next
      if (!hash && substr(line, 1, 2) == "//") next
      if (hash && substr(line, 1, 1) == "#") next
      if (!hash && substr(line, 1, 2) == "/*") {
        if (!index(substr(line, 3), "*/")) in_block = 1
        next
      }
      n++
    }
    END { print n + 0 }'
}

code_files() {
  find "$@" -name node_modules -prune -o -type f \
    \( -name '*.cc' -o -name '*.h' -o -name '*.mjs' -o -name '*.js' \
       -o -name '*.py' -o -name '*.sh' \) -print
}

tests=$(code_files tests | count_lines)
code=$(code_files src include | count_lines)
echo "tests: $tests lines"
echo "code:  $code lines (src/ and include/)"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio: %.0f%%\n", 100 * t / c }'
