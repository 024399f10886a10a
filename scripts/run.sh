#!/usr/bin/env bash
# Installs what building and running orbwell-midi need (no test tools),
# builds the programs alone in build-program/ (the tests build in build/), and starts orbwell-midi on this
# desktop as the menu does: through orbwell-midi-autoconnect, which connects
# every keyboard to it while it runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset program >/dev/null
cmake --build --preset program -j "$(nproc)"
echo "Starting orbwell-midi: plug in your keyboard and play. Escape or the close button ends it."
exec build-program/orbwell-midi-autoconnect
