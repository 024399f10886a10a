#!/usr/bin/env bash
# The real program where the MIDI library's only device is an output: a
# program that only receives (aseqdump) makes the one sequencer port, so
# device 0 is its output and there is no device 1. Opening input 1 must give
# the library's invalid-device failure, with the window up, and status 255,
# never a read past the end of the library's device table.
#
# It needs an ALSA sequencer with no other port (no snd-virmidi, no Midi
# Through), as in the test VM started with --virmidi 0. Elsewhere it is
# skipped (exit status 77).
# usage: one_output_test.sh PROGRAM DEVICES_TOOL PM_ERROR_TEXT
source "$(dirname "$0")/lib.sh"
program=$1
devices_tool=$2
pm_error_text=$3

command -v aseqdump >/dev/null || skip "no aseqdump (alsa-utils) to make the one port"
[ -e /dev/snd/seq ] || skip "no ALSA sequencer on this machine"
[ "$("$devices_tool")" = "no MIDI devices" ] || skip "the sequencer has ports of its own here"

aseqdump >/dev/null 2>&1 &
PIDS+=($!)
# The tool's status is 1 here: there is no input 1.
devices() { "$devices_tool" || true; }
only_an_output() { [ "$(devices)" = "0: output aseqdump (ALSA)  <- orbwell-midi's output" ]; }
wait_until 20 only_an_output || fail "not just aseqdump's port as device 0: $(devices)"

bash "$(dirname "$0")/midi_failure_test.sh" "$program" "$pm_error_text" --ports-as-they-are ||
  fail "with device 0 an output and no device 1"
echo "PASS: one output port and no input: the invalid-device failure and status 255"
