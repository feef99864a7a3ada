#!/usr/bin/env bash
# Text benchmark: 1,000 draw_text calls of 20 characters with the default font
# (Arial 12, made by the font rasteriser) in a draw event every step
# (bench/text_game), played headless (`roomrun --headless --fast`, OpenGL on
# Mesa's llvmpipe), next to the floor: a minimal OpenGL program drawing the
# same glyph quads, computed from the same font and texts, in one batch per
# frame into a 640x480 framebuffer (bench/text_floor.cpp).
#
# What is measured for the game: the wall time of a run of FRAMES + 1 steps
# minus that of a run of 1 step (both load the game, start OpenGL, make the
# font and the texts), so the difference is FRAMES frames: the draw event's
# code, line splitting and measuring, the glyph quads, the device's batching
# and llvmpipe's rasterising. Each run is done RUNS times (default 3) and the
# fastest counts. The floor times its own frame loop (glFinish at the end),
# best of RUNS.
#
# Usage: bench/text.sh                (configures and builds build-release)
#        FRAMES=100 RUNS=3 BUILD_DIR=dir bench/text.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
FRAMES=${FRAMES:-100}
RUNS=${RUNS:-3}
N=1000

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target roomrun roompack bench_text_floor -j "${JOBS:-2}" >/dev/null

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
GAME="$TMP/text.game"
"$BUILD_DIR/bin/roompack" bench/text_game -o "$GAME"
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
  t=$("$BUILD_DIR/bin/bench_text_floor" "$N" "$FRAMES" | sed -n 's/.*: \([0-9.]*\) ms/\1/p')
  if [ -z "$floor" ] || awk -v a="$t" -v b="$floor" 'BEGIN { exit !(a < b) }'; then floor=$t; fi
done
echo "$N texts of 20 characters x $FRAMES frames, headless"
printf "%-8s %12s\n" side "ms"
printf "%-8s %12s\n" ours "$ours"
printf "%-8s %12s\n" floor "$floor"
awk -v a="$ours" -v b="$floor" 'BEGIN { printf "ratio ours/floor: %.2f (target at most 2)\n", a / b }'
