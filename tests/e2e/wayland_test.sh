#!/usr/bin/env bash
# The real binary as a native Wayland client, in a headless sway:
# - with no MIDI device (made so, whatever ports the machine has), the window (640 x 480, "OpenGL Test") is on the
#   desktop when the MIDI failure is printed, and stays while the prompt
#   waits; Enter then ends the program with status 255;
# - with the MIDI library's double fed through a pipe, the window shows the
#   grid of lit spheres, and Escape or the compositor's close request ends
#   the program with status 0; at output scale 2 the window is still 640 x 480
#   in the desktop's units, with the grid across it;
# - where no box can be shown (no zenity, as on a plain Wayland desktop), a
#   failure's text still reaches standard error;
# - the platform layer's swaps wait for the display (swap interval 1).
# It is skipped (exit status 77) where there is no sway.
# usage: wayland_test.sh PROGRAM PROGRAM_WITH_FAKE_MIDI PM_ERROR_TEXT SDL_PLATFORM_TEST
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
command -v sway >/dev/null && command -v grim >/dev/null && command -v wtype >/dev/null &&
  command -v jq >/dev/null || skip "no sway, grim, wtype or jq to run a Wayland desktop"
pm_error_text=$3

without_midi_devices
start_sway
program=$(desktop_copy "$1")
fake_midi_program=$(desktop_copy "$2")
platform_test=$(desktop_copy "$4")
# Native Wayland, also where SDL would pick Xwayland (sway has no fifo-v1);
# and no zenity, so no box can be shown.
mkdir -p "$SWAY_HOME/no-zenity"
native=(env SDL_VIDEODRIVER=wayland PATH="$SWAY_HOME/no-zenity")

# window_size: "WIDTHxHEIGHT" of the window's content, as sway has it.
window_size() { sway_window "$TITLE" | jq -r '"\(.geometry.width)x\(.geometry.height)"'; }

# --- No MIDI device: the window first, then the failure ----------------------
mkfifo "$WORK/stdin"
exec 4<>"$WORK/stdin"
on_desktop "${native[@]}" "$program" <"$WORK/stdin" >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
expected=$(midi_failure_text "$pm_error_text" pmInvalidDeviceId)
wait_until 120 output_is "$WORK/stdout" "$expected" ||
  fail "standard output was: $(cat "$WORK/stdout"); standard error: $(cat "$WORK/stderr")"
# The program draws nothing while the prompt waits: the window on the desktop
# now is the one shown before the MIDI ports were opened.
window_listed "$TITLE" || fail "no window on the desktop when the MIDI failure was printed"
[ "$(window_size)" = 640x480 ] || fail "window of $(window_size)"
[ "$(sway_window "$TITLE" | jq -r .shell)" = xdg_shell ] || fail "not a native Wayland window"
echo >&4
await_exit "$app" 120
[ "$STATUS" = 255 ] || fail "no MIDI device: exit status $STATUS, expected 255"

# --- The grid, Escape and the close request -----------------------------------
# start_fake_midi: the program with the MIDI double, its input on fd 5.
start_fake_midi() {
  rm -f "$WORK/midi-in"
  mkfifo "$WORK/midi-in"
  chmod 666 "$WORK/midi-in"
  on_desktop "${native[@]}" ORBWELL_FAKE_MIDI_INPUT="$WORK/midi-in" "$fake_midi_program" \
    </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  exec 5<>"$WORK/midi-in"
  wait_until 120 window_listed "$TITLE" || fail "no window: $(cat "$WORK/stderr")"
}

# lit_share PNG: the share of the picture's pixels, in per cent, that are not
# background.
lit_share() {
  convert "$1" -colorspace Gray -threshold 1% -format "%[fx:int(100*mean+0.5)]" info:
}

# grid_drawn GEOMETRY: a screenshot of the window shows the grid, the middle
# sphere lit; sets lit and centre.
grid_drawn() {
  on_desktop grim -s 1 -g "$1" "$SWAY_HOME/grid.png" || return 1
  lit=$(lit_share "$SWAY_HOME/grid.png")
  centre=$(convert "$SWAY_HOME/grid.png" -crop 1x1+320+240 -colorspace Gray -format "%[fx:int(255*mean)]" info:)
  # 25 spheres of 0.2 and one of 0.4 at 6.5 units cover about a tenth.
  [ "$lit" -ge 5 ] && [ "$lit" -le 25 ] && [ "$centre" -gt 20 ]
}

# escape_until_exit: presses Escape every second until the program ends. The
# key only reaches a program that has taken up the keyboard, which it does
# once the keyboard appears (wtype's), however long that takes it.
escape_until_exit() {
  local presses=()
  for _ in $(seq 120); do presses+=(-k Escape -s 1000); done
  on_desktop wtype "${presses[@]}" &
  local typist=$!
  PIDS+=("$typist")
  await_exit "$app" 120
  end_processes "$typist"
}

# At scale 1, and at 200 % as on a HiDPI laptop, with the same desktop size
# in its units: the window keeps its size in them, the compositor scales it.
# at_scale SCALE: sway's output is at that scale, 1024 x 768 in its units.
at_scale() {
  on_desktop swaymsg -t get_outputs | jq -e --argjson scale "$1" '.[] | select(.name == "HEADLESS-1") |
    .scale == $scale and .current_mode.width == 1024 * $scale' >/dev/null
}
for scale in 1 2; do
  # swaymsg gives up on an answer after 3 s, which a compositor emulated in
  # a slow VM can take to change its mode: the output itself tells.
  on_desktop swaymsg -q output HEADLESS-1 mode $((1024 * scale))x$((768 * scale))@60Hz scale "$scale" || true
  wait_until 120 at_scale "$scale" || fail "sway took no scale $scale"
  start_fake_midi
  [ "$(window_size)" = 640x480 ] || fail "window of $(window_size) at scale $scale"
  # The middle sphere (note 60) to full size, so the centre is lit however the
  # grid has turned.
  printf '90 3C 7F\n' >&5
  geometry=$(sway_window "$TITLE" |
    jq -r '"\(.rect.x + .window_rect.x),\(.rect.y + .window_rect.y) \(.window_rect.width)x\(.window_rect.height)"')
  # In the desktop's units: 640 x 480 at any scale; the first frames can
  # take a while where OpenGL is emulated.
  wait_until 120 grid_drawn "$geometry" || fail "the grid covers ${lit:-no}% of the window, the middle" \
    "sphere grey ${centre:-none}, at scale $scale"
  escape_until_exit
  [ "$STATUS" = 0 ] || fail "Escape: exit status $STATUS; $(cat "$WORK/stderr")"
done

start_fake_midi
on_desktop swaymsg -q "[title=\"$TITLE\"] kill"
await_exit "$app" 120
[ "$STATUS" = 0 ] || fail "close request: exit status $STATUS; $(cat "$WORK/stderr")"

# --- No box possible: the text on standard error -------------------------------
# Without EGL there is no OpenGL on Wayland: SDL3 makes a window without it,
# which then has no pixel format; classic SDL2 makes none at all.
on_desktop "${native[@]}" __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json "$program" \
  </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
await_exit "$app" 120
[ "$STATUS" = 0 ] || fail "no OpenGL: exit status $STATUS, expected 0"
grep -qxE "ERROR: (Can't Find A Suitable PixelFormat|Window Creation Error)\." "$WORK/stderr" ||
  fail "no OpenGL: standard error was: $(cat "$WORK/stderr")"
! window_listed "$TITLE" || fail "no OpenGL: a window was left on the desktop"

# --- Swaps wait for the display --------------------------------------------------
on_desktop env SDL_VIDEODRIVER=wayland "$platform_test" \
  --gtest_filter='*MakingAContextCurrentAsksForOneFrameADisplayRefresh' >"$WORK/gtest" 2>&1 ||
  fail "swap interval: $(cat "$WORK/gtest")"
output_has "$WORK/gtest" "[  PASSED  ] 1 test." || fail "swap interval not tested: $(cat "$WORK/gtest")"
echo "PASS: on Wayland: window before the MIDI failure, the grid, Escape and close, failure text on" \
  "standard error, swaps at the display's pace"
