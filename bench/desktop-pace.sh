#!/usr/bin/env bash
# Measures the pace on a Wayland desktop: frames per second and the longest
# gap between two frames (MIDI thru waits for the next one; the input queue
# holds 100 events), with the window visible, at the moment it moves to
# another workspace and while it is there, and shown again (does the display
# pace it again?), through Xwayland (SDL's X11 driver) and as a native
# Wayland client, with the SDL this system has (classic SDL 2, or SDL 3
# through sdl2-compat), under a private headless sway at 60 Hz. Two
# programs: the program itself, with the MIDI library's double counting its
# pumps (one a frame), and our platform layer alone drawing empty frames
# (frame_pace.cpp), which shows the pace where drawing costs nothing.
# Each figure is over SECONDS seconds, after two to settle; the hiding
# figure is the longest gap from the second in which the window moved on.
# usage: bench/desktop-pace.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-8}
build=${2:-build}
source scripts/test-build.sh
require_test_build "$build" tests/orbwell-midi-fake-midi tests/frame_pace
command -v jq >/dev/null || { echo "no jq (scripts/setup.sh --tests installs it)" >&2; exit 1; }
source tests/e2e/lib.sh
source tests/e2e/sway.sh

start_sway
program=$(desktop_copy "$build/tests/orbwell-midi-fake-midi")
layer=$(desktop_copy "$build/tests/frame_pace")
x11_display=$(xwayland_display)

# measure WHAT DRIVER PLACE: one run of the program or the layer, with SDL's
# x11 or wayland driver, its window visible, or hidden after two seconds
# and then shown again after SECONDS more.
measure() {
  local log="$SWAY_HOME/pace-$1-$2-$3" driver_env runtime=$((seconds + 2))
  [ "$3" != again ] || runtime=$((2 * seconds + 4))
  if [ "$2" = x11 ]; then
    driver_env=(env -u WAYLAND_DISPLAY DISPLAY="$x11_display" SDL_VIDEODRIVER=x11)
  else
    driver_env=(env SDL_VIDEODRIVER=wayland)
  fi
  if [ "$1" = program ]; then
    on_desktop "${driver_env[@]}" ORBWELL_FAKE_MIDI_INPUT=/dev/null ORBWELL_FAKE_MIDI_PUMPS="$log" \
      "$program" </dev/null >/dev/null 2>"$WORK/stderr" &
  else
    on_desktop "${driver_env[@]}" "$layer" $((runtime + 1)) </dev/null >"$log" 2>"$WORK/stderr" &
  fi
  local app=$! hidden_at=0
  PIDS+=("$app")
  wait_until 30 window_listed "$TITLE" || fail "$*: no window; $(tail -n 3 "$WORK/stderr")"
  if [ "$3" = visible ]; then
    sleep "$runtime"
  else
    sleep 2
    # The moment of hiding, on the log's clock: after its last full second.
    hidden_at=$(awk 'END { print $1 + 0 }' "$log")
    on_desktop swaymsg -q "[title=\"$TITLE\"] move to workspace 2"
    sleep $((seconds + 2))
    on_desktop swaymsg -q "[title=\"$TITLE\"] move to workspace 1"
    sleep "$seconds"
  fi
  [ "$1" = layer ] || on_desktop swaymsg -q "[title=\"$TITLE\"] kill"
  await_exit "$app" 30
  [ "$STATUS" = 0 ] || fail "$*: exit status $STATUS"
  # pace FROM TO: frames per second and longest gap in the lines of that span.
  pace() {
    awk -v first="$1" -v last="$2" '
      $1 + 0 > first && $1 + 0 <= last + 0.5 { rate += $3; n++; if ($9 > gap) gap = $9 }
      END { printf "%5.1f fps, longest gap %6.1f ms", rate / n, gap }' "$log"
  }
  # The swap intervals asked for, in order, where the layer says.
  intervals() { awk '/swap interval/ { if (n++ == 0 || $NF != last) printf " %s", $NF; last = $NF }' "$log"; }
  if [ "$3" = again ]; then
    local shown=$((hidden_at + seconds + 2))
    printf '%-15s hiding: gap %s ms; hidden: %s; shown again: %s%s\n' "$*" \
      "$(pace "$hidden_at" $((hidden_at + 1)) | sed 's/.*gap *//; s/ ms//')" \
      "$(pace $((hidden_at + 2)) "$shown")" "$(pace $((shown + 2)) $((shown + seconds)))" \
      "$([ "$1" = layer ] && echo "; intervals$(intervals)")"
  else
    printf '%-15s %s\n' "$*" "$(pace 2 $((seconds + 2)))"
  fi
}

sdl=$(dpkg-query -W -f '${Version}' libsdl2-2.0-0 2>/dev/null || echo unknown)
if dpkg-query -W -f '${Status}' libsdl3-0 2>/dev/null | grep -q 'ok installed' && [[ $sdl == 2.3[2-9].[5-9]* ]]; then
  echo "SDL 2 $sdl: sdl2-compat on SDL 3 $(dpkg-query -W -f '${Version}' libsdl3-0)"
else
  echo "SDL 2 $sdl"
fi
for what in program layer; do
  for driver in x11 wayland; do
    for place in visible again; do
      measure "$what" "$driver" "$place"
    done
  done
done
