#!/usr/bin/env bash
# The suite's randomised MIDI stream, run longer: EVENTS events (20 million
# unless given) through the MIDI link against the library's test double,
# with every check, three times with fresh seeds. Prints events per second.
# usage: bench/thru-stream.sh [EVENTS]
set -euo pipefail
cd "$(dirname "$0")/.."
events=${1:-20000000}
scripts/build.sh >/dev/null
for _ in 1 2 3; do
  build/tests/thru_stream "$events"
done
