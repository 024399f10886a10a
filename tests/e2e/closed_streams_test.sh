#!/usr/bin/env bash
# The real binary started with standard streams closed, where there is no
# MIDI device (made so for it, whatever ports the machine has): the closed ones are /dev/null, so the MIDI failure text goes
# nowhere rather than into the X connection, and the process still ends with
# status 255. Where standard input gives no line to answer the prompt (from a
# desktop menu), the text is shown in the "ERROR" box, and the process ends
# once it is closed; where it can still give one, no box appears.
# usage: closed_streams_test.sh PROGRAM SHOW_MESSAGE_BOX X11_SEND PM_ERROR_TEXT
source "$(dirname "$0")/lib.sh"
program=$1
show_message_box=$2
x11_send=$3
pm_error_text=$4

without_midi_devices
start_xvfb
mkfifo "$WORK/stdin"
exec 4<>"$WORK/stdin"
"$program" <"$WORK/stdin" >&- 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
wait_until 120 window_exists "$TITLE" || fail "no window; standard error: $(cat "$WORK/stderr")"
[ "$(readlink "/proc/$app/fd/1")" = /dev/null ] ||
  fail "standard output is $(readlink "/proc/$app/fd/1"), not /dev/null"
sleep 0.5
process_running "$app" || fail "did not wait for a line at the prompt"
! window_exists ERROR || fail "a box appeared although the prompt could be answered"
echo >&4
await_exit "$app" 60
[ "$STATUS" = 255 ] || fail "standard output closed: exit status $STATUS, expected 255"
xwininfo -root >/dev/null || fail "the X server is gone"

text=$(printf 'PortMidi call failed...\n  %s' "$("$pm_error_text" pmInvalidDeviceId)")
capture_reference_box "$x11_send" "$show_message_box" ERROR "$text" reference
"$program" </dev/null >&- 2>&- &
app=$!
PIDS+=("$app")
expect_failure_box "$x11_send" "$app" 120 "$text"
xwininfo -root >/dev/null || fail "the X server is gone"
echo "PASS: closed standard streams become /dev/null; the MIDI failure ends with status 255, in a" \
  "box where nothing can answer the prompt"
