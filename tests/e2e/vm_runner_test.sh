#!/usr/bin/env bash
# The VM runner hands back what the command wrote on standard output and on
# standard error, each on its own, and the command's exit status; the
# command sees the virtual MIDI port it was given. A command that outlasts
# the time limit is stopped there, with status 124.
# usage: vm_runner_test.sh RUNNER
source "$(dirname "$0")/lib.sh"
runner=$1

status=0
"$runner" --virmidi 1 -c 'echo "to standard output"; echo "to standard error" >&2
  grep -q "VirMIDI 0-0" /proc/asound/seq/clients && exit 7' >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
[ "$status" = 7 ] || fail "exit status $status, expected 7 (the port is there); stderr: $(cat "$WORK/stderr")"
output_is "$WORK/stdout" "to standard output" || fail "standard output was: $(cat "$WORK/stdout")"
output_has "$WORK/stderr" "to standard error" || fail "standard error was: $(cat "$WORK/stderr")"
! output_has "$WORK/stdout" "to standard error" || fail "standard error came on standard output"

start=$SECONDS
status=0
"$runner" -t 20 -- sleep 3600 >/dev/null 2>"$WORK/stderr" || status=$?
took=$((SECONDS - start))
[ "$status" = 124 ] || fail "past the time limit: exit status $status, expected 124"
[ "$took" -ge 20 ] && [ "$took" -le 60 ] || fail "a limit of 20 s stopped the VM after $took s"
echo "PASS: the command's output and status come back; the time limit stops it after $took s"
