#!/usr/bin/env bash
# Load benchmark: builds bench_load in a release build directory and runs it.
# It prints the time of the runner's load of a game holding about 100 MB of
# compressed data, the time of only inflating the same blocks with zlib into
# memory kept like the runner's, and their ratio, with the load held to one
# processor while a busy loop takes the other (target: at most 1.1); the
# two-thread figure follows. Arguments are passed on to bench_load
# (--mb N, --rounds N, --load-only N, --breakdown).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build-release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
cmake --build "$BUILD" --target bench_load -j "${JOBS:-2}"
exec "$BUILD/bin/bench_load" "$@"
