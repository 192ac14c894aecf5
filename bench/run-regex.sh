#!/usr/bin/env bash
# Regex benchmark: builds regex_bench, times RegexObject on the generated GBK list page, then times
# node's RegExp on the very same file. Usage: bash bench/run-regex.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
lock=${GLEANER_BUILD_LOCK:-/tmp/gleaner-build.lock}
page=$(mktemp --suffix=.html)
trap 'rm -f "$page"' EXIT

cd "$root"
flock "$lock" cmake --build "$build" -j2 --target regex_bench
"$build/bin/regex_bench" --page="$page" --benchmark_min_time=1
if command -v node >/dev/null; then
    node "$root/bench/regex_bench.js" "$page" 1
else
    echo "node not found: JavaScript comparison skipped" >&2
fi
