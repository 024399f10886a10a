#!/usr/bin/env bash
# Installs the Debian packages orbwell-midi needs to build, run and test.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libportmidi-dev libgl-dev libglu1-mesa-dev libsdl2-dev
  googletest libgtest-dev
  libx11-dev libxtst-dev
  xvfb xauth x11-utils xdotool xfonts-base imagemagick
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 dpkg-dev xz-utils)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
