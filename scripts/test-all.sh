#!/usr/bin/env bash
# Set-up command 2: install what is needed, build everything with
# AddressSanitizer and UndefinedBehaviorSanitizer, fuzz the input readers for
# a bounded time, then run the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Let ccache share results between clones of the repository.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-45}

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DROOMRUN_SANITIZE=ON -DROOMRUN_BENCH=OFF
cmake --build build-test -j "$JOBS"

if [ "$FUZZ_SECONDS" -gt 0 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROOMRUN_FUZZ=ON
  cmake --build build-fuzz -j "$JOBS" --target fuzzers
  for f in build-fuzz/bin/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus=$(mktemp -d)
    seeds="tests/fuzz/corpus/${name#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
    echo "Fuzzing $name for ${FUZZ_SECONDS}s"
    if ! "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 "$corpus" >"build-fuzz/$name.log" 2>&1; then
      tail -n 60 "build-fuzz/$name.log"
      echo "Fuzzer $name found a fault"
      exit 1
    fi
    rm -rf "$corpus"
  done
fi

ctest --test-dir build-test --output-on-failure -j "$JOBS"
