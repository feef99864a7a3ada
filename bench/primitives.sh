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
. bench/frame_bench.sh
LINES=20000
CIRCLES=5000

frame_bench_setup bench_primitives_floor bench/primitives_game
ours=$(game_ms)
floor=$(floor_ms "$LINES" "$CIRCLES" "$FRAMES")
frame_bench_report "$LINES lines + $CIRCLES circles" "$ours" "$floor" 1.5
