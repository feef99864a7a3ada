#!/usr/bin/env bash
# Instances benchmark: a room of 10,000 instances of one object whose step
# event moves it (x += dx, wrap at the room edge, count laps) and updates two
# more of its own variables (bench/instances_game), played headless with
# `roomrun --headless --fast --steps N` with automatic drawing off (the room's
# creation code turns it off unless INSTANCES_DRAW=1), next to the floor: the same arithmetic
# done by a plain C++ loop over 10,000 records of doubles
# (bench/instances_floor.cpp, program bench_instances_floor), and next to its
# Lua peer: 10,000 Lua tables with the same fields, each stepped through a
# method found in its class table (metatable __index), running the same four
# statements (bench/instances_peer.lua, run with lua5.4).
#
# What is measured for the game: the CPU time (user + system) of a run of
# STEPS steps minus that of a run of 1 step, divided by STEPS - 1. Both runs
# load the game, create the 10,000 instances and print the sums at the end, so
# the difference is the cost of the steps alone: everything the main loop does
# per step for 10,000 instances (event dispatch, the step code, motion,
# animation, end of step), not only the code. The same game with drawing on
# ("drawn") is timed beside it: it adds the frame of an empty-looking room
# drawn offscreen, whose cost depends on the OpenGL driver (with the software
# renderer it is most of a millisecond) and has nothing to do with instances. Each run is done RUNS times
# (default 5) and the fastest counts. The floor times its own step loop with
# its CPU time (best of several repetitions). The Lua peer is timed like the
# game: CPU time of STEPS steps minus 1 step, best of RUNS, runs interleaved
# with the game's so that a change in the machine's load touches both.
#
# All three print the count of instances and the sums of x, y, laps and
# energy after STEPS steps; the script stops when any two differ.
#
# Usage: bench/instances.sh          (configures and builds build-release)
#        STEPS=2000 RUNS=5 BUILD_DIR=dir bench/instances.sh
#        NO_BUILD=1 bench/instances.sh   (uses BUILD_DIR as it is)
#        ROOMRUN=path/to/roomrun bench/instances.sh   (that runner instead of
#        the one built, e.g. to compare two versions)
# bench/instances_callgrind.sh counts the step's instructions per instance,
# which do not move with the machine's load.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
STEPS=${STEPS:-1000}
RUNS=${RUNS:-5}
[ "$STEPS" -ge 2 ] || { echo "STEPS must be at least 2" >&2; exit 2; }
command -v lua5.4 >/dev/null || { echo "lua5.4 is not installed" >&2; exit 1; }

if [ -z "${NO_BUILD:-}" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
  cmake --build "$BUILD_DIR" --target roomrun roompack bench_instances_floor -j "${JOBS:-2}" >/dev/null
fi

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
GAME="$TMP/instances.game"
"$BUILD_DIR/bin/roompack" bench/instances_game -o "$GAME"
ROOMRUN=${ROOMRUN:-$BUILD_DIR/bin/roomrun}

cpu_time() {  # prints the user+sys time of one run of "$@"; its output in $TMP/out
  local t TIMEFORMAT='%U %S'
  t=$( { time "$@" >"$TMP/out" 2>"$TMP/err"; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
  if [ -s "$TMP/err" ]; then echo "FAILED: $*" >&2; cat "$TMP/err" >&2; exit 1; fi
  echo "$t"
}
keep_min() {  # keep_min VAR command...: runs it once, VAR becomes the smaller time
  local t
  t=$(cpu_time "${@:2}")
  printf -v "$1" '%s' "$(awk -v a="$t" -v b="${!1}" 'BEGIN { print (b == "" || a < b) ? a : b }')"
}

# One round runs each side once for 1 step and once for STEPS steps.
base="" full="" drawn_base="" drawn_full="" lua_base="" lua_full=""
for _ in $(seq "$RUNS"); do
  keep_min base "$ROOMRUN" --headless --fast --steps 1 "$GAME"
  keep_min full "$ROOMRUN" --headless --fast --steps "$STEPS" "$GAME"
  ours_sums=$(cat "$TMP/out")
  keep_min drawn_base env INSTANCES_DRAW=1 "$ROOMRUN" --headless --fast --steps 1 "$GAME"
  keep_min drawn_full env INSTANCES_DRAW=1 "$ROOMRUN" --headless --fast --steps "$STEPS" "$GAME"
  drawn_sums=$(cat "$TMP/out")
  keep_min lua_base lua5.4 bench/instances_peer.lua 1
  keep_min lua_full lua5.4 bench/instances_peer.lua "$STEPS"
  lua_sums=$(cat "$TMP/out")
done
"$BUILD_DIR/bin/bench_instances_floor" "$STEPS" >"$TMP/floor"
floor_us=$(sed -n 's/.*us_per_step=//p' "$TMP/floor")
floor_sums=$(sed -n 2p "$TMP/floor")

same_sums() {  # true when the two lists of five sums agree
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = split(a, x, " "); m = split(b, y, " "); if (n != 5 || m != 5) exit 1
    for (i = 1; i <= 5; i++) { d = x[i] - y[i]; if (d < 0) d = -d; s = y[i] < 0 ? -y[i] : y[i]; if (d > 1e-9 * s + 1e-6) exit 1 }
  }'
}
for pair in "floor:$floor_sums" "lua:$lua_sums" "drawn:$drawn_sums"; do
  if ! same_sums "$ours_sums" "${pair#*:}"; then
    echo "results differ: game \"$ours_sums\", ${pair%%:*} \"${pair#*:}\"" >&2
    exit 1
  fi
done

per_step() { awk -v f="$1" -v b="$2" -v n="$STEPS" 'BEGIN { printf "%.1f", (f - b) / (n - 1) * 1e6 }'; }
ours_us=$(per_step "$full" "$base")
lua_us=$(per_step "$lua_full" "$lua_base")
drawn_us=$(per_step "$drawn_full" "$drawn_base")
echo "10000 instances, $STEPS steps (game and Lua: CPU time of $STEPS steps minus 1 step, best of $RUNS)"
echo "sums: $ours_sums"
printf "%-8s %14s\n" side "us per step"
printf "%-8s %14s\n" ours "$ours_us"
printf "%-8s %14s\n" drawn "$drawn_us"
printf "%-8s %14s\n" lua "$lua_us"
printf "%-8s %14s\n" floor "$floor_us"
awk -v a="$ours_us" -v b="$lua_us" 'BEGIN { printf "ratio ours/lua: %.2f\n", a / b }'
awk -v a="$ours_us" -v b="$floor_us" 'BEGIN { printf "ratio ours/floor: %.1f\n", a / b }'
awk -v a="$drawn_us" -v b="$lua_us" 'BEGIN { printf "ratio drawn/lua: %.2f (the frame included)\n", a / b }'
