#!/usr/bin/env bash
# A window of our platform layer as a native Wayland client in a headless
# sway: its swaps wait for the display (swap interval 1); put on another
# workspace, where sway does not draw it, the layer stops waiting and paces
# the frames itself (interval 0); shown again, the display paces them once
# more (interval 1). It is skipped (exit status 77) where there is no sway.
# usage: wayland_pace_test.sh FRAME_PACE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
command -v sway >/dev/null && command -v jq >/dev/null || skip "no sway or jq to run a Wayland desktop"

start_sway
layer=$(desktop_copy "$1")
on_desktop env SDL_VIDEODRIVER=wayland "$layer" 600 >"$WORK/pace" 2>&1 &
PIDS+=($!)
wait_until 120 window_listed "$TITLE" || fail "no window: $(cat "$WORK/pace")"

# expect_interval N WHEN: waits until a second of the layer's, after those
# already read, says swap interval N.
lines=0
asks() { tail -n +$((lines + 1)) "$WORK/pace" | grep -q "swap interval $1\$"; }
expect_interval() {
  wait_until 120 asks "$1" || fail "$2: no swap interval $1 in: $(tail -n 5 "$WORK/pace")"
  lines=$(wc -l <"$WORK/pace")
}
expect_interval 1 "shown"
on_desktop swaymsg -q "[title=\"$TITLE\"] move to workspace 2"
expect_interval 0 "on another workspace"
on_desktop swaymsg -q "[title=\"$TITLE\"] move to workspace 1"
expect_interval 1 "shown again"
echo "PASS: on Wayland, swap interval 1, 0 while the window is unseen, then 1 again"
