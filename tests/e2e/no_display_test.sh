#!/usr/bin/env bash
# Without a display no window can be made: the failure is reported on
# standard error, MIDI is never opened, and the exit status is 0.
# usage: no_display_test.sh PROGRAM
source "$(dirname "$0")/lib.sh"
program=$1
# Were MIDI opened, ALSA would say it has no sequencer.
without_midi_devices

status=0
env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$program" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
[ "$status" = 0 ] || fail "exit status $status, expected 0"
output_has "$WORK/stderr" "ERROR: Window Creation Error." || fail "standard error was: $(cat "$WORK/stderr")"
[ ! -s "$WORK/stdout" ] || fail "standard output was: $(cat "$WORK/stdout")"
# Opening the MIDI library would have asked ALSA for its sequencer.
! output_has "$WORK/stderr" "ALSA" || fail "MIDI was opened: $(cat "$WORK/stderr")"
echo "PASS: no display: the window failure on standard error, no MIDI, exit status 0"
