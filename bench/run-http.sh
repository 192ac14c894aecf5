#!/usr/bin/env bash
# HTTP benchmark: builds http_bench and runs it. It starts the loopback test site, times 1,000
# sequential HttpGetText calls of a 20 KiB page, then the curl program fetching the same 1,000
# URLs in one process (-K config file, output to /dev/null). Usage: bash bench/run-http.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
lock=${GLEANER_BUILD_LOCK:-/tmp/gleaner-build.lock}

cd "$root"
flock "$lock" cmake --build "$build" -j2 --target http_bench
"$build/bin/http_bench"
