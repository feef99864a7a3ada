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
. bench/frame_bench.sh
N=1000

frame_bench_setup bench_text_floor bench/text_game
ours=$(game_ms)
floor=$(floor_ms "$N" "$FRAMES")
frame_bench_report "$N texts of 20 characters" "$ours" "$floor" 2
