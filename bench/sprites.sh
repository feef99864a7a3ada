#!/usr/bin/env bash
# Sprite benchmark: 10,000 rotated, alpha-blended 32x32 sprites drawn with
# draw_sprite_ext in a draw event every step (bench/sprites_game), played
# headless (`roomrun --headless --fast`, OpenGL on Mesa's llvmpipe), next to
# the floor: a minimal OpenGL program drawing the same quads in one batch per
# frame into a 640x480 framebuffer (bench/sprites_floor.cpp).
#
# What is measured for the game: the wall time of a run of FRAMES + 1 steps
# minus that of a run of 1 step (both load the game, start OpenGL and set up
# the sprites), so the difference is FRAMES frames: the draw event's code, the
# textured-quad routines, the device's batching and llvmpipe's rasterising.
# Each run is done RUNS times (default 3) and the fastest counts. The floor
# times its own frame loop (glFinish at the end), best of RUNS.
#
# Usage: bench/sprites.sh                (configures and builds build-release)
#        FRAMES=100 RUNS=3 BUILD_DIR=dir bench/sprites.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/frame_bench.sh
N=10000

frame_bench_setup bench_sprites_floor bench/sprites_game
ours=$(game_ms)
floor=$(floor_ms "$N" "$FRAMES")
frame_bench_report "$N sprites" "$ours" "$floor" 1.5
