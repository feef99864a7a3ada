#!/usr/bin/env bash
# Data structure benchmark: map, list and grid heavy programs written in the
# game's language (bench/ds_programs/*.code, run with `roomrun --eval`) next to
# the same programs in Lua 5.4 using tables (bench/ds_programs/*.lua).
#
# For each program it checks that both print the same result, takes the best
# of RUNS times (default 3) for each side, and prints the ratio
# ours / Lua, then the geometric mean of the ratios. Target: every ratio <= 1.0.
#
# The ratio compares the programs' own work: each side's start-up (the best
# time of an empty program: for roomrun mostly the dynamic linking of its
# window, sound and font libraries, about 30 ms against Lua's 2 ms) is taken
# off its times. The ratio of the whole runs is printed beside it.
#
# Usage: bench/ds.sh            (builds roomrun in build-release if needed)
#        BUILD_DIR=dir RUNS=5 bench/ds.sh
# The release build is configured with
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF
# The map program mixes string and real keys, lookups, deletes and an ordered
# walk; the list program appends, reads, sorts, searches, inserts and deletes
# at the front; the grid program sets and reads every cell and runs region,
# disk and grid-to-grid operations.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
RUNS=${RUNS:-3}
LUA=${LUA:-lua5.4}
PROGRAMS=(map list grid)

if [ ! -x "$BUILD_DIR/bin/roomrun" ] || [ "${REBUILD:-1}" = 1 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" --target roomrun >/dev/null
fi
ROOMRUN="$BUILD_DIR/bin/roomrun"

# Best time in seconds of RUNS runs of a command; its output goes to $OUT.
# The CPU time of the process (perf's task-clock) is used when perf works, so
# that other load on the machine disturbs the comparison less; otherwise the
# wall-clock time.
if perf stat -e task-clock -x, true >/dev/null 2>&1; then CLOCK=cpu; else CLOCK=wall; fi
best_time() {
  local best="" t0 t1 dt
  for ((r = 0; r < RUNS; r++)); do
    if [ "$CLOCK" = cpu ]; then
      perf stat -e task-clock -x, -o "$OUT.perf" "$@" >"$OUT" 2>"$OUT.err" || { echo "FAILED: $*" >&2; cat "$OUT.err" >&2; return 1; }
      dt=$(awk -F, '/task-clock/ { printf "%d", $1 * 1000 }' "$OUT.perf")
    else
      t0=$(date +%s%N)
      "$@" >"$OUT" 2>"$OUT.err" || { echo "FAILED: $*" >&2; cat "$OUT.err" >&2; return 1; }
      t1=$(date +%s%N)
      dt=$(( (t1 - t0) / 1000 ))
    fi
    if [ -z "$best" ] || [ "$dt" -lt "$best" ]; then best=$dt; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}

OUT=$(mktemp)

if ! "$ROOMRUN" --eval bench/ds_programs/map.code >/dev/null 2>&1; then
  echo "roomrun --eval is not available (or the data structure functions are not registered yet):"
  "$ROOMRUN" --eval bench/ds_programs/map.code 2>&1 | head -5 || true
  echo "numbers pending"
  exit 2
fi

EMPTY_CODE=$(mktemp --suffix=.code)
EMPTY_LUA=$(mktemp --suffix=.lua)
trap 'rm -f "$OUT" "$OUT.err" "$OUT.perf" "$EMPTY_CODE" "$EMPTY_LUA"' EXIT
echo 'return 0;' >"$EMPTY_CODE"
echo 'print("0")' >"$EMPTY_LUA"
ours0=$(best_time "$ROOMRUN" --eval "$EMPTY_CODE")
lua0=$(best_time "$LUA" "$EMPTY_LUA")

echo "times: best of $RUNS, $CLOCK time; start-up (empty program) ours $ours0 s, Lua $lua0 s, taken off"
printf "%-8s %10s %10s %8s %10s  %s\n" program ours_s lua_s ratio whole_run result
logsum=0
met=yes
for p in "${PROGRAMS[@]}"; do
  ours=$(best_time "$ROOMRUN" --eval "bench/ds_programs/$p.code")
  ours_out=$(tr -d '"\r' <"$OUT")
  lua=$(best_time "$LUA" "bench/ds_programs/$p.lua")
  lua_out=$(tr -d '\r' <"$OUT")
  check="$ours_out"
  if [ "$ours_out" != "$lua_out" ]; then check="MISMATCH ours=$ours_out lua=$lua_out"; met=no; fi
  net_ours=$(awk -v a="$ours" -v z="$ours0" 'BEGIN { printf "%.3f", a - z }')
  net_lua=$(awk -v a="$lua" -v z="$lua0" 'BEGIN { printf "%.3f", a - z }')
  ratio=$(awk -v a="$net_ours" -v b="$net_lua" 'BEGIN { printf "%.2f", a / b }')
  whole=$(awk -v a="$ours" -v b="$lua" 'BEGIN { printf "%.2f", a / b }')
  if awk -v r="$ratio" 'BEGIN { exit !(r > 1.0) }'; then met=no; fi
  logsum=$(awk -v s="$logsum" -v r="$ratio" 'BEGIN { printf "%.6f", s + log(r) }')
  printf "%-8s %10s %10s %8s %10s  %s\n" "$p" "$net_ours" "$net_lua" "$ratio" "$whole" "$check"
done
awk -v s="$logsum" -v n="${#PROGRAMS[@]}" 'BEGIN { printf "geometric mean ratio: %.2f\n", exp(s / n) }'
echo "target: every ratio <= 1.0: $met"
