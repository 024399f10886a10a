#!/usr/bin/env bash
# Makes docs/screenshot.png: the program drawing under Xvfb, with a few
# spheres enlarged and the light changed. It uses the test build that takes
# its MIDI input from a pipe, since no MIDI device is needed for a picture.
# usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program="$build/tests/orbwell-midi-fake-midi"
x11_send="$build/tests/x11_send"
source scripts/test-build.sh
require_test_build "$build" tests/orbwell-midi-fake-midi tests/x11_send

work=$(mktemp -d)
source scripts/private-xvfb.sh
trap 'kill $(jobs -p) 2>/dev/null || true; stop_private_xvfb; rm -rf "$work"' EXIT
mkfifo "$work/midi-in"

ORBWELL_FAKE_MIDI_INPUT="$work/midi-in" "$program" </dev/null >/dev/null 2>&1 &
exec 5<>"$work/midi-in"
for _ in $(seq 100); do xwininfo -name "OpenGL Test" >/dev/null 2>&1 && break; sleep 0.1; done
# Notes 48, 54, 60, 66 and 72 at rising velocities; a warm light from the left.
printf '90 30 7F\n90 36 50\n90 3C 7F\n90 42 28\n90 48 64\n' >&5
printf 'B0 0B 7F\nB0 0C 50\nB0 0D 20\nB0 07 10\nB0 01 60\n' >&5
sleep 2
mkdir -p docs
import -window "$(xwininfo -name "OpenGL Test" | awk '/Window id:/ {print $4}')" docs/screenshot.png
"$x11_send" key Escape
echo "wrote docs/screenshot.png"
