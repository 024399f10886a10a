#!/usr/bin/env bash
# Builds orbwell-midi and runs every test. The tests that open windows get an
# X server of their own (Xvfb), whatever display this shell has.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

work=$(mktemp -d)
cleanup() {
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
xvfb=$!
read -r display <"$work/displayfd"
export DISPLAY=":$display"

status=0
ctest --preset default "$@" || status=$?
# Each skipped test, with the reason it gave.
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
     /^SKIP: / { sub(/^SKIP: /, ""); print "skipped " name ": " $0 }' build/Testing/Temporary/LastTest.log
exit "$status"
