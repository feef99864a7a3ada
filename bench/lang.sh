#!/usr/bin/env bash
# Language benchmark: runs the same small programs in the game language
# (through `roomrun --eval`, release build) and in Lua 5.4 (`lua5.4`), side by
# side, and prints the CPU time of each, the ratio ours/Lua per program and
# the geometric mean of the ratios.
#
# Programs (bench/lang/NAME.txt and bench/lang/NAME.lua):
#   loop     numeric loop with arithmetic on a local
#   vars     local and instance variable reads and writes
#   array    array element reads and writes
#   strings  building short strings by appending, comparing them
#   concat   building one 1,000,000-character string from one-character
#            appends (`s += chr(...)`; Lua's peer uses its buffer idiom,
#            table.concat, since its `..` copies)
#   fib      recursive script calls (the script is bench/lang/scripts/fib.txt,
#            passed with --scripts)
#   call2    a script call with two arguments in a loop (scripts/add2.txt)
#   call5    a script call with five arguments in a loop (scripts/mix5.txt)
#
# Usage: bench/lang.sh [ROOMRUN]   (default: build-release/bin/roomrun, which
# is configured and built when missing). Each program runs RUNS times (default
# 5); the fastest run counts. Times are user + system CPU seconds. The last
# line is the start-up cost of each side (an empty program), which every
# figure includes.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOMRUN=${1:-build-release/bin/roomrun}
RUNS=${RUNS:-5}
if [ ! -x "$ROOMRUN" ]; then
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=OFF >/dev/null
  cmake --build build-release --target roomrun >/dev/null
  ROOMRUN=build-release/bin/roomrun
fi
command -v lua5.4 >/dev/null || { echo "lua5.4 is not installed" >&2; exit 1; }

cpu_time() {  # prints the fastest user+sys time of RUNS runs of "$@"
  local best="" t
  for _ in $(seq "$RUNS"); do
    local TIMEFORMAT='%U %S'
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

printf "%-10s %10s %10s %8s\n" program ours lua ratio
ratios=()
for name in loop vars array strings concat fib call2 call5; do
  ours_out=$("$ROOMRUN" --scripts bench/lang/scripts --eval "bench/lang/$name.txt")
  lua_out=$(lua5.4 "bench/lang/$name.lua")
  if [ "$ours_out" != "$lua_out" ] && ! awk -v a="$ours_out" -v b="$lua_out" 'BEGIN { exit !(a + 0 == b + 0) }'; then
    echo "$name: results differ (ours $ours_out, lua $lua_out)" >&2
    exit 1
  fi
  ours=$(cpu_time "$ROOMRUN" --scripts bench/lang/scripts --eval "bench/lang/$name.txt")
  lua=$(cpu_time lua5.4 "bench/lang/$name.lua")
  ratio=$(awk -v a="$ours" -v b="$lua" 'BEGIN { if (b < 0.001) b = 0.001; printf "%.2f", a / b }')
  ratios+=("$ratio")
  printf "%-10s %10s %10s %8s\n" "$name" "$ours" "$lua" "$ratio"
done
printf '%s\n' "${ratios[@]}" | awk '{ s += log($1); n++ } END { printf "geometric mean of ratios: %.2f\n", exp(s / n) }'
# The cost of starting each process (an empty program), which every figure
# above includes: ours maps the runner, libc and libm (the C++ runtime and the
# small libraries are linked in; the window, drawing, sound and font libraries
# are opened only when used), fills its built-in tables and starts its game
# thread.
tmp=$(mktemp -d)
echo 'return 0;' >"$tmp/empty.txt"
echo 'print(0)' >"$tmp/empty.lua"
ours=$(cpu_time "$ROOMRUN" --eval "$tmp/empty.txt")
lua=$(cpu_time lua5.4 "$tmp/empty.lua")
printf "%-10s %10s %10s %8s\n" startup "$ours" "$lua" "$(awk -v a="$ours" -v b="$lua" 'BEGIN { if (b < 0.001) b = 0.001; printf "%.2f", a / b }')"
rm -r "$tmp"
