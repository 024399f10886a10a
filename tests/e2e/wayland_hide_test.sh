#!/usr/bin/env bash
# A dense MIDI stream through a window that stops being seen: the program,
# with the MIDI library's double, as a native Wayland client in a headless
# sway, takes 600 control changes a second through its input pipe, and in
# the middle of the stream its window moves to another workspace, or the
# output is turned off. The input queue holds 100 events, so no frame may
# wait for a display that does not show the window: every event comes back
# out of the echo, in order, and the program runs on. It is skipped (exit
# status 77) where there is no sway.
# usage: wayland_hide_test.sh PROGRAM_WITH_FAKE_MIDI CC_STREAM
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
command -v sway >/dev/null && command -v jq >/dev/null || skip "no sway or jq to run a Wayland desktop"
stream=$2
rate=600
seconds=4

start_sway
program=$(desktop_copy "$1")

echoed() { [ -f "$SWAY_HOME/echo" ] && wc -l <"$SWAY_HOME/echo" || echo 0; }
at_least_echoed() { [ "$(echoed)" -ge "$1" ] || ! process_running "$app"; }
workspace_of() {
  on_desktop swaymsg -t get_tree | jq -r --arg title "$TITLE" \
    'first(.nodes[].nodes[] | select(.type == "workspace") | select(any(.. | objects; .name? == $title)) | .name)'
}
on_workspace() { [ "$(workspace_of)" = "$1" ]; }
# Sway 1.8 and later call it power, and 1.7 dpms.
power_command=power
on_desktop swaymsg -q "output * power on" 2>/dev/null || power_command=dpms
powered() { [ "$(on_desktop swaymsg -t get_outputs | jq -r '.[0] | .power // .dpms')" = "$1" ]; }

# through_hide NAME HIDE SHOW CHECK: the stream, hidden by HIDE once a third
# of it came back (CHECK then holds), shown again by SHOW after it.
through_hide() {
  rm -f "$SWAY_HOME/in" "$SWAY_HOME/echo" "$SWAY_HOME/log"
  mkfifo -m 666 "$SWAY_HOME/in"
  on_desktop env SDL_VIDEODRIVER=wayland ORBWELL_FAKE_MIDI_INPUT="$SWAY_HOME/in" \
    ORBWELL_FAKE_MIDI_OUTPUT="$SWAY_HOME/echo" ORBWELL_FAKE_MIDI_LOG="$SWAY_HOME/log" \
    "$program" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  exec 5<>"$SWAY_HOME/in"
  wait_until 120 window_listed "$TITLE" || fail "$1: no window: $(cat "$WORK/stderr")"
  wait_until 120 output_has "$SWAY_HOME/log" "Pm_Poll(in)" || fail "$1: the MIDI ports were not opened"
  "$stream" "$rate" "$seconds" "$SWAY_HOME/in" >"$WORK/sent" &
  local player=$!
  PIDS+=("$player")
  wait_until 120 at_least_echoed $((rate * seconds / 3)) || fail "$1: $(echoed) echoed before the hide"
  on_desktop swaymsg -q "$2"
  wait_until 30 "${@:4}" || fail "$1: not hidden by: $2"
  wait "$player" || fail "$1: the stream could not be played"
  wait_until 120 at_least_echoed $((rate * seconds)) || true
  process_running "$app" || fail "$1: the program ended, $(echoed) of $((rate * seconds)) echoed: $(cat "$WORK/stderr")"
  cmp -s "$WORK/sent" "$SWAY_HOME/echo" ||
    fail "$1: $(echoed) echoed of $((rate * seconds)), first difference: $(cmp "$WORK/sent" "$SWAY_HOME/echo" 2>&1)"
  on_desktop swaymsg -q "$3"
  on_desktop swaymsg -q "[title=\"$TITLE\"] kill"
  await_exit "$app" 60
  [ "$STATUS" = 0 ] || fail "$1: exit status $STATUS; $(cat "$WORK/stderr")"
  exec 5>&-
  echo "PASS: $1: $((rate * seconds)) events at $rate a second, each echoed once and in order"
}

through_hide "moved to another workspace" "[title=\"$TITLE\"] move to workspace 2" \
  "[title=\"$TITLE\"] move to workspace 1" on_workspace 2
# Some releases keep a headless output on, and its frames coming.
on_desktop swaymsg -q "output * $power_command off"
if wait_until 10 powered false; then
  on_desktop swaymsg -q "output * $power_command on"
  through_hide "the output turned off" "output * $power_command off" "output * $power_command on" powered false
else
  echo "this sway keeps its headless output on: the stream with the output off is not played"
fi
# Sway has no minimised windows: a minimise request is not answered.
