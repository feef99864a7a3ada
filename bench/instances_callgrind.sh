#!/usr/bin/env bash
# Instruction count of the instances benchmark's step, independent of the
# machine's load: bench/instances_game with 1,000 movers instead of 10,000,
# run under callgrind for 1 and for 101 steps; the difference divided by
# 100 × 1,000 is the instructions per instance per step. With CG_OUT=dir the
# profile of the 101-step run is kept there (callgrind.out) for
# callgrind_annotate.
#
# Usage: bench/instances_callgrind.sh [roomrun ...]   (default
#        build-release/bin/roomrun; several runners are counted one after
#        the other, e.g. an old and a new build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
[ $# -gt 0 ] || set -- "$BUILD_DIR/bin/roomrun"

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
cp -r bench/instances_game "$TMP/game"
sed -i 's/i < 10000/i < 1000/' "$TMP/game/rooms/rm_field.json"
grep -q 'i < 1000;' "$TMP/game/rooms/rm_field.json" || { echo "cannot shrink the room" >&2; exit 1; }
"$BUILD_DIR/bin/roompack" "$TMP/game" -o "$TMP/small.game"

count() {  # count RUNNER STEPS OUTFILE: prints the instructions of one run
  valgrind --tool=callgrind --callgrind-out-file="$3" "$1" --headless --fast --steps "$2" "$TMP/small.game" \
    >/dev/null 2>"$TMP/err" || { cat "$TMP/err" >&2; exit 1; }
  sed -n 's/^summary: //p' "$3"
}
for runner in "$@"; do
  a=$(count "$runner" 1 "$TMP/one.out")
  b=$(count "$runner" 101 "$TMP/full.out")
  if [ -n "${CG_OUT:-}" ]; then mkdir -p "$CG_OUT"; cp "$TMP/full.out" "$CG_OUT/callgrind.out"; fi
  awk -v a="$a" -v b="$b" -v r="$runner" 'BEGIN { printf "%s: %.0f instructions per instance per step\n", r, (b - a) / 100000 }'
done
