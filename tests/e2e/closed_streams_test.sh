#!/usr/bin/env bash
# The real binary started with standard streams closed, on a machine without
# MIDI devices: the closed ones are /dev/null, so the MIDI failure text goes
# nowhere rather than into the X connection, and the process still ends with
# status 255.
# usage: closed_streams_test.sh PROGRAM
source "$(dirname "$0")/lib.sh"
program=$1

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
echo >&4
await_exit "$app" 10
[ "$STATUS" = 255 ] || fail "standard output closed: exit status $STATUS, expected 255"
xwininfo -root >/dev/null || fail "the X server is gone"

"$program" <&- >&- 2>&- &
app=$!
PIDS+=("$app")
await_exit "$app" 20
[ "$STATUS" = 255 ] || fail "all three closed: exit status $STATUS, expected 255"
xwininfo -root >/dev/null || fail "the X server is gone"
echo "PASS: closed standard streams become /dev/null; the MIDI failure still ends with status 255"
