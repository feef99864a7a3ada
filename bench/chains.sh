#!/usr/bin/env bash
# Long flat chains benchmark: the CPU time `roomrun --eval` takes to compile
# and run one program made of a single long chain, minus the time of an empty
# program (start-up), for each kind of chain:
#   sum      a + a + ... (N terms of a variable: pure arithmetic)
#   mixed    a * b - abs(c) + ... (N terms, calls: the general path)
#   concat   s + 'c' + s + ... (N terms, strings)
#   dots     d.d.d ... (N links, each a variable read of an instance)
#   elseif   if k == 0 ... else if k == i ... (N / 10 branches, the last taken)
#
# Usage: bench/chains.sh [ROOMRUN] (default build-release/bin/roomrun, which
# must exist: see bench/lang.sh). N defaults to 100000; each program runs
# RUNS times (default 3) and the fastest run counts.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOMRUN=${1:-build-release/bin/roomrun}
N=${N:-100000}
RUNS=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu_time() {  # the fastest user+sys time of RUNS runs of "$@", in ms
  local best="" t
  for _ in $(seq "$RUNS"); do
    local TIMEFORMAT='%U %S'
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.0f", ($1 + $2) * 1000 }')
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}

awk -v n="$N" 'BEGIN {
  printf "a = 1; return a" > "'"$work"'/sum.txt";
  for (i = 1; i < n; i++) printf " + a" > "'"$work"'/sum.txt";
  printf "a = 2; b = 3; c = -1; return a" > "'"$work"'/mixed.txt";
  for (i = 1; i < n; i++) printf (i % 3 == 0 ? " - abs(c)" : (i % 3 == 1 ? " * b" : " + a")) > "'"$work"'/mixed.txt";
  printf "s = \"ab\"; return string_length(s" > "'"$work"'/concat.txt";
  for (i = 1; i < n; i++) printf (i % 2 ? " + \"c\"" : " + s") > "'"$work"'/concat.txt";
  printf ")" > "'"$work"'/concat.txt";
  printf "d = id; return d" > "'"$work"'/dots.txt";
  for (i = 1; i < n; i++) printf ".d" > "'"$work"'/dots.txt";
  m = int(n / 10);
  printf "k = %d; if k == 0 y = 0", m - 1 > "'"$work"'/elseif.txt";
  for (i = 1; i < m; i++) printf " else if k == %d y = %d", i, i > "'"$work"'/elseif.txt";
  printf "; return y" > "'"$work"'/elseif.txt";
}'
echo "return 1" > "$work/empty.txt"

base=$(cpu_time "$ROOMRUN" --eval "$work/empty.txt")
printf "%-8s %10s %12s   (N = %d, start-up %d ms subtracted)\n" chain "ms" result "$N" "$base"
for name in sum mixed concat dots elseif; do
  result=$("$ROOMRUN" --eval "$work/$name.txt" 2>&1 | head -c 40)
  t=$(cpu_time "$ROOMRUN" --eval "$work/$name.txt")
  printf "%-8s %10d %12s\n" "$name" $((t - base)) "$result"
done
