# Sourced by the drawing benchmarks (sprites, primitives, text): build the
# release programs and the floor, pack the benchmark game, time FRAMES frames
# of it headless and the floor's own frame loop, best of RUNS each.
shopt -s inherit_errexit  # a failed run inside $(...) stops the benchmark
BUILD_DIR=${BUILD_DIR:-build-release}
FRAMES=${FRAMES:-100}
RUNS=${RUNS:-3}

# frame_bench_setup FLOOR_TARGET GAME_FOLDER: sets GAME, ROOMRUN and FLOOR.
frame_bench_setup() {
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
  cmake --build "$BUILD_DIR" --target roomrun roompack "$1" -j "${JOBS:-2}" >/dev/null
  TMP=$(mktemp -d)
  trap 'rm -rf "$TMP"' EXIT
  GAME="$TMP/bench.game"
  "$BUILD_DIR/bin/roompack" "$2" -o "$GAME"
  ROOMRUN=${ROOMRUN:-$BUILD_DIR/bin/roomrun}
  FLOOR="$BUILD_DIR/bin/$1"
}

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

# The game's FRAMES frames: a run of FRAMES + 1 steps minus a run of 1 step,
# so loading, starting OpenGL and the create events cancel out.
game_ms() {
  local base full
  base=$(wall_ms "$ROOMRUN" --headless --fast --steps 1 "$GAME")
  full=$(wall_ms "$ROOMRUN" --headless --fast --steps $((FRAMES + 1)) "$GAME")
  echo $((full - base))
}

floor_ms() {  # the fastest of RUNS runs of the floor "$@", which prints "...: T ms"
  local best="" t
  for _ in $(seq "$RUNS"); do
    t=$("$FLOOR" "$@" | sed -n 's/.*: \([0-9.]*\) ms/\1/p')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

# frame_bench_report WHAT OURS FLOOR TARGET
frame_bench_report() {
  echo "$1 x $FRAMES frames, headless on $(glxinfo -B 2>/dev/null | sed -n 's/.*renderer string: //p' | head -1 || true)"
  printf "%-8s %12s\n" side "ms"
  printf "%-8s %12s\n" ours "$2"
  printf "%-8s %12s\n" floor "$3"
  awk -v a="$2" -v b="$3" -v t="$4" 'BEGIN { printf "ratio ours/floor: %.2f (target at most %s)\n", a / b, t }'
}
