#!/usr/bin/env bash
# Installs what is missing, then configures and builds orbwell-midi and its
# tests in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
# When the test build last caught up with the sources (scripts/test-build.sh).
touch build/.built
