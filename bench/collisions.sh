#!/usr/bin/env bash
# Collisions benchmark: 500, 2,000 and 8,000 moving balls (8 x 8, precise
# round masks) with a collision event among themselves, in a square room
# whose area grows with the count (256 square pixels a ball, so the density
# and the number of meeting pairs per ball stay the same), played headless
# with `roomrun --headless --fast --steps N` (bench/collisions_game; the
# script writes the count and the room side into a copy of it).
#
# What is measured: the CPU time (user + system) of a run of STEPS steps
# minus that of a run of 1 step, divided by STEPS - 1: the cost of a step
# (motion, the collision phase with its events, the end-step wrap), best of
# RUNS runs each. Then the time per ball, and its growth from 500 to 8,000.
# Target: the time per ball at 8,000 at most 1.5 times that at 500, so no
# part of the step is quadratic in the number of instances.
#
# Usage: bench/collisions.sh      (configures and builds build-release)
#        STEPS=200 RUNS=3 BUILD_DIR=dir bench/collisions.sh
#        ROOMRUN=path/to/roomrun bench/collisions.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
STEPS=${STEPS:-200}
RUNS=${RUNS:-3}
COUNTS=(${COUNTS:-500 2000 8000})
[ "$STEPS" -ge 2 ] || { echo "STEPS must be at least 2" >&2; exit 2; }

if [ -z "${ROOMRUN:-}" ] || [ -z "${ROOMPACK:-}" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" --target roomrun roompack -j "${JOBS:-2}" >/dev/null
fi
ROOMRUN=${ROOMRUN:-$BUILD_DIR/bin/roomrun}
ROOMPACK=${ROOMPACK:-$BUILD_DIR/bin/roompack}

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

cpu_time() {  # the fastest user+sys time of RUNS runs of "$@"; output of the last in $TMP/out
  local best="" t
  for _ in $(seq "$RUNS"); do
    local TIMEFORMAT='%U %S'
    t=$( { time "$@" >"$TMP/out" 2>"$TMP/err"; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
    if [ -s "$TMP/err" ]; then echo "FAILED: $*" >&2; cat "$TMP/err" >&2; exit 1; fi
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

echo "balls with precise masks, $STEPS steps (CPU time of $STEPS steps minus 1 step, best of $RUNS)"
printf "%8s %8s %14s %16s  %s\n" balls side "us per step" "us per ball" "at the end"
first=""
for n in "${COUNTS[@]}"; do
  side=$(awk -v n="$n" 'BEGIN { printf "%d", sqrt(n * 256) }')
  rm -rf "$TMP/game"
  cp -r bench/collisions_game "$TMP/game"
  sed -i "s/COUNT/$n/g; s/SIDE/$side/g" "$TMP/game/rooms/rm_field.json"
  "$ROOMPACK" "$TMP/game" -o "$TMP/game.bin" >/dev/null
  base=$(cpu_time "$ROOMRUN" --headless --fast --steps 1 "$TMP/game.bin")
  full=$(cpu_time "$ROOMRUN" --headless --fast --steps "$STEPS" "$TMP/game.bin")
  report=$(tail -1 "$TMP/out")
  us=$(awk -v f="$full" -v b="$base" -v s="$STEPS" 'BEGIN { printf "%.1f", (f - b) / (s - 1) * 1e6 }')
  per=$(awk -v u="$us" -v n="$n" 'BEGIN { printf "%.3f", u / n }')
  printf "%8d %8d %14s %16s  %s\n" "$n" "$side" "$us" "$per" "$report"
  [ -z "$first" ] && first=$per
  last=$per
done
awk -v a="$last" -v b="$first" -v lo="${COUNTS[0]}" -v hi="${COUNTS[-1]}" \
  'BEGIN { r = a / b; printf "time per ball at %d / at %d: %.2f (target at most 1.5)\n", hi, lo, r; exit !(r <= 1.5) }'
