#!/usr/bin/env bash
# Measures MIDI thru latency through a real port: the time from writing a
# message to the port's raw side until its echo comes back out of it, over
# COUNT messages (median, 99th percentile, maximum), beside the program's
# frame time in the same run. The program passes MIDI on between frames, so
# the two belong together.
#
# Needs a virtual port (snd-virmidi) as MIDI devices 0 and 1, as in the VM
# of scripts/vm/run-in-vm.sh, and the tests built (scripts/test.sh):
#   scripts/vm/run-in-vm.sh -- scripts/bench-thru-latency.sh 60
# usage: scripts/bench-thru-latency.sh [COUNT] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
build=${2:-build}

devices=$("$build/orbwell-midi-devices" 2>/dev/null) || {
  echo "MIDI devices 0 and 1 are no output and input here" >&2
  exit 1
}
port=$(sed -n 's/^0: output VirMIDI \([0-9]*\)-\([0-9]*\) (ALSA).*/\1 \2/p' <<<"$devices")
[ -n "$port" ] || { echo "devices 0 and 1 are not a virtual (VirMIDI) port" >&2; exit 1; }
raw="/dev/snd/midiC${port% *}D${port#* }"

work=$(mktemp -d)
source scripts/private-xvfb.sh
trap 'kill $(jobs -p) 2>/dev/null || true; stop_private_xvfb; rm -rf "$work"' EXIT

"$build/orbwell-midi" </dev/null >/dev/null 2>&1 &
# Measured once the program has its ports open and draws; the first frame
# can take a while where OpenGL runs in software.
for _ in $(seq 600); do
  aconnect -l | grep -q "Connecting To" && "$build/tests/frame_rate" "OpenGL Test" 0.5 >/dev/null 2>&1 && break
  sleep 0.2
done

"$build/tests/frame_rate" "OpenGL Test" 20 >"$work/frames" &
"$build/tests/thru_latency" "$raw" "$count"
wait %+ 2>/dev/null || true
cat "$work/frames"
