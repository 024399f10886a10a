#!/usr/bin/env bash
# The whole program, frames and all, with the MIDI library's test double
# linked in and fed through a pipe: notes enlarge spheres, controllers change
# the light, Escape, the close button, TERM, INT and HUP end it with status
# 0, and the MIDI ports are closed while the window and its context are
# still up; a system-exclusive message cut off by the signal is ended with
# F7 first.
# usage: whole_loop_test.sh PROGRAM_WITH_FAKE_MIDI X11_SEND
source "$(dirname "$0")/lib.sh"
program=$1
x11_send=$2

# lit_pixels PNG: how many pixels of the screenshot are not background.
lit_pixels() {
  convert "$1" -colorspace Gray -threshold 1% -format "%[fx:int(mean*w*h+0.5)]" info:
}
# channel_mean PNG CHANNEL: the mean of one channel over the lit pixels.
channel_mean() {
  convert "$1" -channel "$2" -separate -format "%[fx:mean]" info:
}

# start_program: runs the program with its MIDI input pipe open on fd 5.
start_program() {
  rm -f "$WORK/midi-in" "$WORK/midi-log"
  mkfifo "$WORK/midi-in"
  ORBWELL_FAKE_MIDI_INPUT="$WORK/midi-in" ORBWELL_FAKE_MIDI_LOG="$WORK/midi-log" \
    ORBWELL_FAKE_MIDI_OUTPUT="$WORK/midi-out" \
    "$program" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  exec 5<>"$WORK/midi-in"
  wait_until 20 window_exists "$TITLE" || fail "no window"
  wait_until 20 output_has "$WORK/midi-log" "Pm_Poll(in)" || fail "the MIDI ports were not opened"
}

# expect_clean_end HOW: status 0, and the ports closed before the context went.
expect_clean_end() {
  await_exit "$app" 20
  [ "$STATUS" = 0 ] || fail "$1: exit status $STATUS, expected 0; $(cat "$WORK/stderr")"
  local closing
  closing=$(grep -E '^Pm_(Close|Terminate)' "$WORK/midi-log")
  [ "$closing" = $'Pm_Close(in) context=current\nPm_Close(out) context=current\nPm_Terminate' ] ||
    fail "$1: closing was: $closing"
}

start_xvfb
start_program
[ "$(client_size "$TITLE")" = "640x480" ] || fail "client area $(client_size "$TITLE")"
# snapshot NAME: the window now, and how many of its pixels are lit.
snapshot() {
  import -window "$(window_id "$TITLE")" "$WORK/$1.png" 2>/dev/null &&
    lit_pixels "$WORK/$1.png" >"$WORK/$1.lit"
}
drawn() { snapshot before && [ "$(cat "$WORK/before.lit")" -gt 0 ]; }
wait_until 60 drawn || fail "no frame was drawn"
before=$(cat "$WORK/before.lit")
blue_before=$(channel_mean "$WORK/before.png" B)

# Three spheres to full size, and the diffuse light to pure red. Once the
# picture shows both, the pump that took them has ended: every echo it
# wrote is in the log.
printf '90 30 7F\n90 3C 7F\n90 48 7F\nB0 0C 00\nB0 0D 00\nB0 0B 7F\n' >&5
# Three of 25 spheres at twice the radius: about a third more lit area.
grown_and_red() {
  snapshot after && [ $(($(cat "$WORK/after.lit") * 100)) -gt $((before * 118)) ] &&
    awk -v b="$blue_before" -v a="$(channel_mean "$WORK/after.png" B)" 'BEGIN { exit !(a < b * 0.6) }'
}
wait_until 60 grown_and_red || fail "the spheres did not grow or the light did not turn red:" \
  "$before -> $(cat "$WORK/after.lit") lit pixels, blue $blue_before -> $(channel_mean "$WORK/after.png" B)"
[ "$(grep -c '^Pm_Write(out, 1)$' "$WORK/midi-log")" = 6 ] || fail "not every event was echoed once"

"$x11_send" key Escape
expect_clean_end "Escape"

start_program
"$x11_send" close "$TITLE"
expect_clean_end "close request"

# A dump under way when the session ends: its start has gone out, and the
# end the program adds must follow it before the streams close.
for signal in TERM INT HUP; do
  start_program
  printf 'F0 7D 01 02\n' >&5
  wait_until 60 output_has "$WORK/midi-out" "F0 7D 01 02" || fail "$signal: the dump's start was not echoed"
  kill -"$signal" "$app"
  expect_clean_end "$signal"
  [ "$(tail -n 1 "$WORK/midi-out")" = "F7 00 00 00" ] ||
    fail "$signal: the cut-off dump was not ended: $(cat "$WORK/midi-out")"
done
echo "PASS: notes and controllers change the picture; Escape, the close button, TERM, INT and HUP" \
  "end with status 0, a cut-off dump ended with F7"
