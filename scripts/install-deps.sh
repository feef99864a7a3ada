#!/usr/bin/env bash
# Installs the Debian packages Roomrun needs to build, test, fuzz and
# benchmark. Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  clang libclang-rt-14-dev
  zlib1g-dev libpng-dev libjpeg-dev libgif-dev
  libdeflate-dev
  libfreetype-dev libfontconfig-dev libffi-dev
  fonts-liberation2
  libsdl2-dev libgl-dev libegl-dev libopengl-dev
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
  lua5.4
  libgl1-mesa-dri libegl-mesa0 xvfb xauth xdotool x11-apps x11-utils openbox libx11-dev
  libsndfile1-dev libfluidsynth-dev fluid-soundfont-gm sox
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
