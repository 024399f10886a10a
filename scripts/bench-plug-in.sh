#!/usr/bin/env bash
# Measures how soon a keyboard plugged in plays into orbwell-midi started by
# orbwell-midi-autoconnect: the virtual card is unplugged and plugged in again
# through sysfs, as a USB unplug does, COUNT times, and each time the time is
# taken from its port appearing until it is connected to Midi Through, and
# until a note played on it first reaches Midi Through's listeners, the
# program's input among them. The program applies it at its next frame,
# whose time in the same run is printed too.
#
# Needs Midi Through as devices 0 and 1 and a virtual port (snd-virmidi), with
# root, as in the VM of scripts/vm/run-in-vm.sh, and the tests built
# (scripts/test.sh):
#   scripts/vm/run-in-vm.sh --seq-dummy auto -- scripts/bench-plug-in.sh 20
# usage: scripts/bench-plug-in.sh [COUNT] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-20}
build=${2:-build}

devices=$("$build/orbwell-midi-devices" 2>/dev/null) || true
grep -q "^1: input  Midi Through Port-0 (ALSA)" <<<"$devices" ||
  { echo "devices 0 and 1 are not Midi Through here" >&2; exit 1; }
[ -e /dev/snd/midiC0D0 ] || { echo "no virtual port (snd-virmidi) here" >&2; exit 1; }
through=$(aconnect -l | awk '/^client [0-9]+: .Midi Through/ { sub(/:$/, "", $2); print $2 ":0"; exit }')

work=$(mktemp -d)
source scripts/private-xvfb.sh
trap 'kill $(jobs -p) 2>/dev/null || true; stop_private_xvfb; rm -rf "$work"' EXIT

"$build/orbwell-midi-autoconnect" </dev/null >/dev/null 2>&1 &
# Measured once the program has its ports open and draws; the first frame
# can take a while where OpenGL runs in software.
for _ in $(seq 600); do
  aconnect -l | grep -A 3 "Client-" | grep -q "Connect" &&
    "$build/tests/frame_rate" "OpenGL Test" 0.5 >/dev/null 2>&1 && break
  sleep 0.2
done

"$build/tests/frame_rate" "OpenGL Test" 10 >"$work/frames" &
"$build/tests/plug_in_latency" snd_virmidi.0 /dev/snd/midiC0D0 "$through" "$count"
wait %+ 2>/dev/null || true
cat "$work/frames"
