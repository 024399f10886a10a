#!/usr/bin/env bash
# Builds orbwell-midi and runs every test. The tests that open windows get an
# X server of their own (Xvfb), whatever display this shell has.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

source scripts/private-xvfb.sh

status=0
ctest --preset default "$@" || status=$?
# Each skipped test, with the reason it gave.
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
     /^SKIP: / { sub(/^SKIP: /, ""); print "skipped " name ": " $0 }' build/Testing/Temporary/LastTest.log
exit "$status"
