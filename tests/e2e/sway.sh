# shellcheck shell=bash
# Sourced after lib.sh by the scripts that need a Wayland desktop: a private
# headless sway (software rendering, no input devices, one 1024 x 768 output
# at 60 Hz), with its Xwayland for X11 clients. sway refuses to run as root,
# so as root it runs as a system user of its own, made once, and so does
# every program started on it; a normal user runs it as themselves.

SWAY_TEST_USER=orbwell-desktop-test

# start_sway: starts the compositor; sets WAYLAND_DISPLAY, SWAYSOCK and
# XDG_RUNTIME_DIR for the programs started with on_desktop.
start_sway() {
  command -v sway >/dev/null || fail "no sway (scripts/setup.sh --tests installs it)"
  SWAY_USER=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    SWAY_USER=$SWAY_TEST_USER
    id "$SWAY_USER" >/dev/null 2>&1 ||
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$SWAY_USER"
  fi
  # What the compositor's user runs and writes lives here.
  SWAY_HOME="$WORK/desktop"
  mkdir -p "$SWAY_HOME/run"
  chmod 755 "$WORK"
  cat >"$SWAY_HOME/config" <<EOF
output HEADLESS-1 mode 1024x768@60Hz
for_window [title="OpenGL Test"] floating enable
for_window [title="ERROR"] floating enable
xwayland enable
EOF
  chown -R "$SWAY_USER" "$SWAY_HOME"
  chmod 700 "$SWAY_HOME/run"
  export XDG_RUNTIME_DIR="$SWAY_HOME/run"
  unset WAYLAND_DISPLAY DISPLAY SWAYSOCK
  on_desktop env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$SWAY_HOME/config" >"$WORK/sway.log" 2>&1 &
  PIDS+=($!)
  sway_up() { ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock && ls "$XDG_RUNTIME_DIR"/wayland-[0-9]; }
  wait_until 30 sway_up || fail "sway did not start: $(tail -n 5 "$WORK/sway.log")"
  local sockets=("$XDG_RUNTIME_DIR"/sway-ipc.*.sock) displays=("$XDG_RUNTIME_DIR"/wayland-[0-9])
  SWAYSOCK=${sockets[0]}
  WAYLAND_DISPLAY=${displays[0]##*/}
  export SWAYSOCK WAYLAND_DISPLAY
}

# on_desktop COMMAND...: runs COMMAND as the compositor's user, with the
# desktop's environment.
on_desktop() {
  if [ "$SWAY_USER" = "$(id -un)" ]; then
    "$@"
  else
    runuser -u "$SWAY_USER" -- env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
      ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} \
      ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
  fi
}

# desktop_copy FILE: a copy of FILE that the compositor's user can run.
desktop_copy() {
  install -m 755 -o "$SWAY_USER" "$1" "$SWAY_HOME/$(basename "$1")"
  echo "$SWAY_HOME/$(basename "$1")"
}

# sway_window TITLE: the window's node in sway's tree, as one line of JSON.
sway_window() {
  on_desktop swaymsg -t get_tree | jq -c --arg title "$1" \
    'first(.. | objects | select(.name? == $title and .pid? != null))'
}

window_listed() { [ -n "$(sway_window "$1")" ]; }

# xwayland_display: the X11 display sway's Xwayland serves, as sway tells
# the programs it starts.
xwayland_display() {
  rm -f "$SWAY_HOME/display"
  on_desktop swaymsg -q exec "echo \$DISPLAY >$SWAY_HOME/display"
  wait_until 10 test -s "$SWAY_HOME/display" || fail "sway names no X11 display"
  cat "$SWAY_HOME/display"
}
