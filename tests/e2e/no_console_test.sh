#!/usr/bin/env bash
# The real binary on a machine without MIDI devices, started without a
# console, as from a desktop menu:
# - standard output closed, standard input a pipe that can still send a line:
#   the output is /dev/null, so the MIDI failure text goes nowhere rather
#   than into the X connection; the prompt waits for the line, no box
#   appears, and the line ends the process with status 255;
# - standard input at its end (/dev/null): the text and the prompt are
#   written as ever, and the same text is shown in the "ERROR" box (compared
#   pixel for pixel with one shown first); the process stays until OK is
#   pressed, then ends with status 255;
# - all three closed: the box, and status 255 once it is closed.
# usage: no_console_test.sh PROGRAM SHOW_MESSAGE_BOX X11_SEND PM_ERROR_TEXT
source "$(dirname "$0")/lib.sh"
program=$1
show_message_box=$2
x11_send=$3
pm_error_text=$4

start_xvfb
mkfifo "$WORK/stdin"
exec 4<>"$WORK/stdin"
"$program" <"$WORK/stdin" >&- 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
wait_until 20 window_exists "$TITLE" || fail "no window; standard error: $(cat "$WORK/stderr")"
[ "$(readlink "/proc/$app/fd/1")" = /dev/null ] ||
  fail "standard output is $(readlink "/proc/$app/fd/1"), not /dev/null"
sleep 0.5
process_running "$app" || fail "did not wait for a line at the prompt"
! window_exists ERROR || fail "a box appeared although the prompt could be answered"
echo >&4
await_exit "$app" 10
[ "$STATUS" = 255 ] || fail "standard output closed: exit status $STATUS, expected 255"
xwininfo -root >/dev/null || fail "the X server is gone"

text=$(printf 'PortMidi call failed...\n  %s' "$("$pm_error_text" pmInvalidDeviceId)")
capture_reference_box "$x11_send" "$show_message_box" ERROR "$text" reference
"$program" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
wait_until 20 window_exists ERROR || fail "no box; standard error: $(cat "$WORK/stderr")"
output_is "$WORK/stdout" "$(midi_failure_text "$pm_error_text" pmInvalidDeviceId)" ||
  fail "standard output was: $(cat "$WORK/stdout")"
expect_box_says 20 "$text"
sleep 0.5
process_running "$app" || fail "did not wait for the box to be closed"
"$x11_send" key Return ERROR
await_exit "$app" 10
[ "$STATUS" = 255 ] || fail "standard input at its end: exit status $STATUS, expected 255"

"$program" <&- >&- 2>&- &
app=$!
PIDS+=("$app")
wait_until 20 window_exists ERROR || fail "all three closed: no box"
"$x11_send" key Return ERROR
await_exit "$app" 10
[ "$STATUS" = 255 ] || fail "all three closed: exit status $STATUS, expected 255"
xwininfo -root >/dev/null || fail "the X server is gone"
echo "PASS: without a console: closed streams become /dev/null, an answerable prompt shows no box," \
  "an unanswerable one shows the failure in a box; status 255"
