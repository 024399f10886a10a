#!/usr/bin/env bash
# Builds orbwell-midi and starts it on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec build/orbwell-midi
