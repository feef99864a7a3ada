#!/usr/bin/env bash
# Set-up command 1: install what is needed, build roomrun and roompack into
# build/bin, pack the bundled demo game and play it (headless when there is
# no display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Let ccache share results between clones of the repository.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=OFF
cmake --build build --target roomrun roompack
build/bin/roompack examples/demo -o build/demo.game
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: playing the demo headless for 300 steps."
  shot="$PWD/build/demo-step300.png"
  build/bin/roomrun --headless --fast --steps 300 --screenshot "300:$shot" "$@" build/demo.game
  echo "The frame of step 300 is in $shot"
  exit 0
fi
exec build/bin/roomrun "$@" build/demo.game
