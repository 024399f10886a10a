#!/usr/bin/env bash
# Installs what building and running orbwell-midi need (no test tools),
# builds the program and orbwell-midi-devices alone in build/, and starts
# orbwell-midi on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset program >/dev/null
cmake --build --preset program -j "$(nproc)"
exec build/orbwell-midi
