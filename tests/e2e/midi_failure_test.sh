#!/usr/bin/env bash
# The real binary with the real MIDI library where there is no MIDI device
# (made so for it, whatever ports the machine has): the window comes up first, then the library's failure is reported
# on standard output with the prompt; the window stays while the prompt waits
# for a line, with no box, and the process then exits with status 255 (-1).
# The text is the library's own, as PM_ERROR_TEXT (built against the same
# library) says. With --ports-as-they-are it runs with the machine's own
# ports, for a caller that has made a world without device 1 itself.
# Started by orbwell-midi-autoconnect, the same holds, and the launcher says
# once on standard error that it connects nothing.
# usage: midi_failure_test.sh PROGRAM PM_ERROR_TEXT [--ports-as-they-are]
source "$(dirname "$0")/lib.sh"
program=$1
pm_error_text=$2
[ "${3:-}" = --ports-as-they-are ] || without_midi_devices

start_xvfb
mkfifo "$WORK/stdin"
exec 4<>"$WORK/stdin"  # held open: the prompt must wait for a line
"$program" <"$WORK/stdin" >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")

expected=$(midi_failure_text "$pm_error_text" pmInvalidDeviceId)
wait_until 120 output_is "$WORK/stdout" "$expected" ||
  fail "standard output was: $(cat "$WORK/stdout")"
window_exists "$TITLE" || fail "the window was not up when the MIDI failure was reported"
[ "$(client_size "$TITLE")" = "640x480" ] || fail "client area $(client_size "$TITLE")"
xwininfo -id "$(window_id "$TITLE")" | grep -q "IsViewable" || fail "the window is not shown"

sleep 0.5
process_running "$app" || fail "the process did not wait for a line"
window_exists "$TITLE" || fail "the window went away while the prompt waited"
! window_exists ERROR || fail "a box appeared although the prompt could be answered"

echo >&4
await_exit "$app" 60
[ "$STATUS" = 255 ] || fail "exit status $STATUS, expected 255"
if [ "$(basename "$program")" = orbwell-midi-autoconnect ]; then
  [ "$(grep -c "orbwell-midi-autoconnect: MIDI devices 0 and 1 are not Midi Through" "$WORK/stderr")" = 1 ] ||
    fail "the launcher did not say once that it connects nothing: $(cat "$WORK/stderr")"
fi
echo "PASS: window, then the MIDI failure and prompt, then exit status 255"
