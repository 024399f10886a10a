#!/usr/bin/env bash
# Measures what a player gets from orbwell-midi-autoconnect with a real USB
# keyboard (the kernel's MIDI gadget on its dummy USB controller): how soon
# the keyboard, unplugged and plugged in again COUNT times, is read and its
# first note reaches a synthesizer the launcher feeds, and what the
# launcher's hop adds to each of NOTES notes played at random moments. The
# program applies a note at its next frame, whose time in the same run is
# printed too.
#
# Needs Midi Through as devices 0 and 1 and the gadget, with root, as in the
# VM of scripts/vm/run-in-vm.sh, and the tests built (scripts/test.sh):
#   scripts/vm/run-in-vm.sh --seq-dummy auto --virmidi 0 --usb-gadget -- bench/plug-in.sh
# usage: bench/plug-in.sh [COUNT] [NOTES] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-20}
notes=${2:-200}
build=${3:-build}
source scripts/test-build.sh
require_test_build "$build" orbwell-midi-autoconnect tests/frame_rate tests/plug_in_latency
source tests/e2e/lib.sh
# Here a missing piece is an error, not a skipped test.
skip() { fail "$*"; }

[ "$(seq_port "Midi Through")" = 14:0 ] || fail "devices 0 and 1 are not Midi Through here"
plug_usb_keyboard
# The benchmark plays the gadget itself.
exec {USB_PLAYER}>&-
start_xvfb
"$build/orbwell-midi-autoconnect" </dev/null >/dev/null 2>&1 &
PIDS+=($!)
# Measured once the program draws; the first frame can take a while where
# OpenGL runs in software.
wait_until 60 window_exists "$TITLE" || fail "orbwell-midi showed no window"
wait_until 120 first_frame_drawn || fail "orbwell-midi drew no frame"
"$build/tests/frame_rate" "$TITLE" 10 >"$WORK/frames" &
frames=$!
"$build/tests/plug_in_latency" "$USB_GADGET" "$USB_KEYBOARD_NAME" "$count" "$notes"
wait "$frames" || true
cat "$WORK/frames"
