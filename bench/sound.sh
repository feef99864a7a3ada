#!/usr/bin/env bash
# Sound benchmark: 32 looping sounds playing at once, each with two effects
# on its own path (echo + chorus, reverb + compressor, flanger + equalizer,
# gargle + echo in turn; the equalizer boosts 1 kHz by 6 dB), with volume and
# pan set, mixed offline for 10 seconds of 44100 Hz stereo
# (bench/sound_mix.cpp). Prints the real-time factor: seconds of audio mixed
# per CPU second. Target: at least 100.
#
# Usage: bench/sound.sh                 (configures and builds build-release)
#        SECONDS_OF_AUDIO=10 BUILD_DIR=dir bench/sound.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOMRUN_TESTS=OFF -DROOMRUN_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target bench_sound_mix -j "${JOBS:-2}" >/dev/null
"$BUILD_DIR/bin/bench_sound_mix" "${SECONDS_OF_AUDIO:-10}"
