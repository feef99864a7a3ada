#!/usr/bin/env bash
# Primitives benchmark: 20,000 lines (draw_line) and 5,000 filled circles
# (draw_circle, precision 24) drawn in a draw event every step
# (bench/primitives_game), played headless (`roomrun --headless --fast`,
# OpenGL on Mesa's llvmpipe), next to the floor: a minimal OpenGL program
# drawing the same shapes with one upload and one draw call per primitive
# type a frame into a 640x480 framebuffer (bench/primitives_floor.cpp).
#
# What is measured for the game: the wall time of a run of FRAMES + 1 steps
# minus that of a run of 1 step (both load the game, start OpenGL and set up
# the shapes' arrays), so the difference is FRAMES frames: the draw event's
# code, the shape routines, the device's batching and llvmpipe's
# rasterising. Each run is done RUNS times (default 3) and the fastest
# counts. The floor times its own frame loop (glFinish at the end), best of
# RUNS.
#
# Usage: bench/primitives.sh                (configures and builds build-release)
#        FRAMES=100 RUNS=3 BUILD_DIR=dir bench/primitives.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
FRAMES=${FRAMES:-100}
RUNS=${RUNS:-3}
LINES=20000
CIRCLES=5000

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target roomrun roompack bench_primitives_floor -j "${JOBS:-2}" >/dev/null

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
GAME="$TMP/primitives.game"
"$BUILD_DIR/bin/roompack" bench/primitives_game -o "$GAME"
ROOMRUN=${ROOMRUN:-$BUILD_DIR/bin/roomrun}

wall_ms() {  # the fastest wall time in ms of RUNS runs of "$@"
  local best="" t s e
  for _ in $(seq "$RUNS"); do
    s=$(date +%s%N)
    "$@" >"$TMP/out" 2>"$TMP/err" || { echo "FAILED: $*" >&2; cat "$TMP/err" >&2; exit 1; }
    e=$(date +%s%N)
    t=$(( (e - s) / 1000000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}

base=$(wall_ms "$ROOMRUN" --headless --fast --steps 1 "$GAME")
full=$(wall_ms "$ROOMRUN" --headless --fast --steps $((FRAMES + 1)) "$GAME")
ours=$((full - base))
floor=""
for _ in $(seq "$RUNS"); do
  t=$("$BUILD_DIR/bin/bench_primitives_floor" "$LINES" "$CIRCLES" "$FRAMES" | sed -n 's/.*: \([0-9.]*\) ms/\1/p')
  if [ -z "$floor" ] || awk -v a="$t" -v b="$floor" 'BEGIN { exit !(a < b) }'; then floor=$t; fi
done
echo "$LINES lines + $CIRCLES circles x $FRAMES frames, headless on $(glxinfo -B 2>/dev/null | sed -n 's/.*renderer string: //p' | head -1 || true)"
printf "%-8s %12s\n" side "ms"
printf "%-8s %12s\n" ours "$ours"
printf "%-8s %12s\n" floor "$floor"
awk -v a="$ours" -v b="$floor" 'BEGIN { printf "ratio ours/floor: %.2f (target at most 1.5)\n", a / b }'
