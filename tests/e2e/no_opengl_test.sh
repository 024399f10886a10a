#!/usr/bin/env bash
# An X server without GLX offers no OpenGL pixel format: the program shows its
# modal "ERROR" box with the reason, with the window already gone, and exits
# with status 0 once OK is pressed. The text is checked by comparing the box
# pixel for pixel with one shown first that holds the expected text.
# usage: no_opengl_test.sh PROGRAM SHOW_MESSAGE_BOX X11_SEND
source "$(dirname "$0")/lib.sh"
program=$1
show_message_box=$2
x11_send=$3
text="Can't Find A Suitable PixelFormat."
# Were MIDI opened, the failure would be printed.
without_midi_devices

start_xvfb -extension GLX
capture_reference_box "$x11_send" "$show_message_box" ERROR "$text"

"$program" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
wait_until 120 window_exists ERROR || fail "no box appeared; standard error: $(cat "$WORK/stderr")"
! window_exists "$TITLE" || fail "the window was still there while the box was shown"
expect_box_says 120 "$text"
"$x11_send" key Return ERROR
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "exit status $STATUS, expected 0"
[ ! -s "$WORK/stdout" ] || fail "MIDI was opened: $(cat "$WORK/stdout")"
echo "PASS: no OpenGL: the \"ERROR\" box says \"$text\", OK ends with status 0"
