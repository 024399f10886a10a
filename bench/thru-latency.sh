#!/usr/bin/env bash
# Measures MIDI thru latency as a player gets it: COUNT note-ons played into
# the program at random moments (gaps drawn evenly from zero to two frame
# periods), each timed until its echo comes out (thru_latency.cpp). The
# program passes MIDI on between frames, so the figures are given as shares
# of the frame period too, measured first in the same run.
#
# Two places:
# - by default, through a real port: a virtual port (snd-virmidi) as MIDI
#   devices 0 and 1, the program on an X server of its own, its frames
#   counted by the server (frame_rate.cpp). As in the VM of
#   scripts/vm/run-in-vm.sh:
#     scripts/vm/run-in-vm.sh -- bench/thru-latency.sh 200
# - with --desktop, on a desktop with a display rate: a private headless sway
#   at 60 Hz, the program a native Wayland client there, with the MIDI
#   library's test double fed through a pipe and echoing into another, its
#   frames counted by its pumps. It needs no MIDI device.
# Both need the tests built (scripts/test.sh).
# usage: bench/thru-latency.sh [--desktop] [COUNT] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
desktop=false
[ "${1:-}" != --desktop ] || { desktop=true; shift; }
count=${1:-200}
build=${2:-build}
source scripts/test-build.sh
require_test_build "$build" orbwell-midi orbwell-midi-devices tests/orbwell-midi-fake-midi tests/thru_latency tests/frame_rate
source tests/e2e/lib.sh

if $desktop; then
  source tests/e2e/sway.sh
  start_sway
  program=$(desktop_copy "$build/tests/orbwell-midi-fake-midi")
  mkfifo "$WORK/in" "$WORK/out"
  chmod 666 "$WORK/in" "$WORK/out"
  # Both held open here too: neither end sees the other go meanwhile.
  exec 5<>"$WORK/in" 6<>"$WORK/out"
  on_desktop env SDL_VIDEODRIVER=wayland ORBWELL_FAKE_MIDI_INPUT="$WORK/in" \
    ORBWELL_FAKE_MIDI_OUTPUT="$WORK/out" ORBWELL_FAKE_MIDI_PUMPS="$SWAY_HOME/pumps" \
    "$program" </dev/null >/dev/null 2>"$WORK/stderr" &
  PIDS+=($!)
  wait_until 60 window_listed "$TITLE" || fail "no window: $(cat "$WORK/stderr")"
  # The frame period: the pumps of seconds 3 to 7, one a frame.
  five_seconds() { [ "$(wc -l <"$SWAY_HOME/pumps")" -ge 7 ]; }
  wait_until 60 five_seconds || fail "the program does not pump: $(cat "$WORK/stderr")"
  frame_ms=$(awk 'NR >= 3 && NR <= 7 { rate += $3; n++ } END { printf "%.2f", 1000 * n / rate }' \
    "$SWAY_HOME/pumps")
  echo "the program on a headless sway at 60 Hz, native Wayland, the MIDI library's double"
  "$build/tests/thru_latency" "$frame_ms" "$count" --pipes "$WORK/in" "$WORK/out"
  exit
fi

devices=$("$build/orbwell-midi-devices" 2>/dev/null) || fail "MIDI devices 0 and 1 are no output and input here"
port=$(sed -n 's/^0: output VirMIDI \([0-9]*\)-\([0-9]*\) (ALSA).*/\1 \2/p' <<<"$devices")
[ -n "$port" ] || fail "devices 0 and 1 are not a virtual (VirMIDI) port"
raw="/dev/snd/midiC${port% *}D${port#* }"
start_xvfb
"$build/orbwell-midi" </dev/null >/dev/null 2>&1 &
PIDS+=($!)
# Measured once the program has its ports open and draws; the first frame
# can take a while where OpenGL runs in software.
drawing() { ports_open && "$build/tests/frame_rate" "$TITLE" 0.5; }
wait_until 120 drawing || fail "the program did not start drawing"
frames=$("$build/tests/frame_rate" "$TITLE" 5)
frame_ms=$(sed -n 's/.*mean frame time \([0-9.]*\) ms/\1/p' <<<"$frames")
echo "the program through a real port (snd-virmidi), on Xvfb; before: $frames"
# The frames during the run too: it takes about COUNT frame periods.
"$build/tests/frame_rate" "$TITLE" "$(awk -v n="$count" -v ms="$frame_ms" 'BEGIN { print n * ms / 1000 }')" \
  >"$WORK/frames" &
"$build/tests/thru_latency" "$frame_ms" "$count" --raw "$raw"
wait $!
echo "during: $(cat "$WORK/frames")"
