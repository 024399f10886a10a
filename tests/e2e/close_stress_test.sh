#!/usr/bin/env bash
# Under a CPU load of its own making, closes the whole program again and
# again, half the time by the window manager's close request and half by
# Escape, each time on a fresh start: every request must end it, with status
# 0. The senders must not lose what they send when the machine is busy.
# usage: close_stress_test.sh PROGRAM_WITH_FAKE_MIDI X11_SEND [ROUNDS]
source "$(dirname "$0")/lib.sh"
program=$1
x11_send=$2
rounds=${3:-10}

start_program() {
  rm -f "$WORK/midi-log"
  ORBWELL_FAKE_MIDI_LOG="$WORK/midi-log" "$program" </dev/null >/dev/null 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  wait_until 30 window_exists "$TITLE" ||
    fail "no window after $round rounds; status: $(process_running "$app" && echo running || echo ended); standard error: $(cat "$WORK/stderr")"
  wait_until 30 output_has "$WORK/midi-log" "Pm_Poll(in)" || fail "the main loop did not start"
}

start_xvfb
# Two busy loops, one per core of a small machine, gone by themselves at the
# latest when the time is up.
for _ in 1 2; do
  timeout 120 bash -c 'while :; do :; done' &
  PIDS+=($!)
done

lost=()
for round in $(seq "$rounds"); do
  for how in close Escape; do
    start_program
    if [ "$how" = close ]; then
      "$x11_send" close "$TITLE"
    else
      "$x11_send" key Escape
    fi
    await_exit "$app" 10
    [ "$STATUS" = 0 ] || lost+=("round $round, $how: status $STATUS")
  done
done
[ ${#lost[@]} -eq 0 ] || fail "${#lost[@]} of $((2 * rounds)) requests did not end the program: ${lost[*]}"
echo "PASS: $rounds close requests and $rounds Escapes under load, each ended the program with status 0"
