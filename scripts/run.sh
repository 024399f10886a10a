#!/usr/bin/env bash
# Installs what building and running orbwell-midi need (no test tools),
# builds the program and orbwell-midi-devices alone in build/, and starts
# orbwell-midi on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset program >/dev/null
cmake --build --preset program -j "$(nproc)"
echo "Starting build/orbwell-midi; Escape or the close button ends it. In a second terminal here," \
  "build/orbwell-midi-devices tells how to connect a keyboard (README.md, First run on Linux)."
exec build/orbwell-midi
