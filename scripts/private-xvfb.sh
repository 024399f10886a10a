# shellcheck shell=bash
# Sourced by the test scripts: starts an X server of their own (Xvfb) on a
# free display, exports DISPLAY, has SDL use it even on a Wayland desktop,
# and stops it when the script exits.
# -noreset: by default the server resets whenever its last client leaves, and
# drops any connection that arrives meanwhile; a test that starts the program
# again and again would then sometimes find no display at all.
xvfb_work=$(mktemp -d)
stop_private_xvfb() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$xvfb_work"
}
trap stop_private_xvfb EXIT
mkfifo "$xvfb_work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$xvfb_work/displayfd" 2>"$xvfb_work/xvfb.log" &
xvfb_pid=$!
read -r xvfb_display <"$xvfb_work/displayfd"
export DISPLAY=":$xvfb_display" SDL_VIDEODRIVER=x11
unset WAYLAND_DISPLAY
