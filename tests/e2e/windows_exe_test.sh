#!/usr/bin/env bash
# The Windows build, on the real Win32 API as Wine implements it:
# - the exe is a GUI program, orbwell-midi-devices.exe a console program,
#   and both import only Windows' own DLLs;
# - its window "OpenGL Test" has a 640 x 480 client area; with no MIDI
#   device it then prints the failure and the prompt on standard output,
#   waits for a line and exits with status -1 (255); with nothing to read on
#   standard input (no console) it shows the same text in its "ERROR" box,
#   and exits with -1 once the box is closed;
# - orbwell-midi-devices.exe lists no device and exits with status 1;
#   double-clicked, its console stays until Enter;
# - on an X server without GLX there is no OpenGL pixel format: the modal
#   "ERROR" box says so (compared pixel for pixel with the same box shown by
#   a helper first), and OK ends the program with status 0.
# usage: windows_exe_test.sh BUILD_WINDOWS_DIR X11_SEND
source "$(dirname "$0")/lib.sh"
build=$1
x11_send=$2
exe="$build/orbwell-midi.exe"

# --- Imports ---------------------------------------------------------------
devices="$build/orbwell-midi-devices.exe"
system="ADVAPI32.dll GDI32.dll GLU32.dll KERNEL32.dll msvcrt.dll OPENGL32.dll USER32.dll WINMM.dll"
for program in "$exe:GUI" "$devices:CUI"; do
  headers=$(x86_64-w64-mingw32-objdump -p "${program%:*}")
  grep -q "Subsystem.*(Windows ${program##*:})" <<<"$headers" || fail "$program: wrong subsystem"
  while read -r dll; do
    [[ " $system " == *" $dll "* ]] || fail "${program%:*} imports $dll, which is not a system DLL"
  done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
done

# --- A private, quiet Wine -------------------------------------------------
export WINEPREFIX="$WORK/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# wineserver is on PATH up to Wine 8, and in Wine's own folder from Wine 10 on.
wineserver=$(command -v wineserver ||
  find /usr/lib /usr/libexec -name wineserver -type f -perm -u+x 2>/dev/null | head -n 1)
[ -n "$wineserver" ] || fail "no wineserver in this Wine"
stop_wine() { timeout 30 "$wineserver" -k 2>/dev/null || true; }
trap 'stop_wine; cleanup' EXIT
env -u DISPLAY timeout 300 wineboot -i >"$WORK/wineboot.log" 2>&1 || fail "no Wine prefix: $(cat "$WORK/wineboot.log")"
# Without a window manager Wine would wait about 2 s at every window close.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 60 "$wineserver" -w

# --- The window, then the MIDI failure --------------------------------------
start_xvfb
mkfifo "$WORK/stdin"
exec 4<>"$WORK/stdin"
timeout 120 wine "$exe" <"$WORK/stdin" >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
# Windows' C library ends lines with CR LF on standard output.
windows_error_text() { timeout 60 wine "$build/pm_error_text.exe" "$1" | tr -d '\r'; }
expected=$(midi_failure_text windows_error_text pmInvalidDeviceId)
unix_output_is() { [ "$(tr -d '\r' <"$1")" = "$2" ]; }
wait_until 60 unix_output_is "$WORK/stdout" "$expected" || fail "standard output was: $(cat "$WORK/stdout")"
window_exists "$TITLE" || fail "no window \"$TITLE\""
# Wine draws the frame itself; the client area is the window's child.
client=$(xwininfo -id "$(window_id "$TITLE")" -tree | grep -oE '[0-9]+x[0-9]+\+[0-9]+\+[0-9]+' | head -n 1 | sed 's/+.*//')
[ "$client" = "640x480" ] || fail "client area $client"
sleep 0.5
process_running "$app" || fail "did not wait for a line"
echo >&4
await_exit "$app" 30
[ "$STATUS" = 255 ] || fail "exit status $STATUS, expected 255 (-1)"

# --- The devices tool: a console program --------------------------------------
status=0
listed=$(timeout 60 wine "$devices" </dev/null 2>/dev/null | tr -d '\r') || status=$?
[ "$listed:$status" = "no MIDI devices:1" ] || fail "orbwell-midi-devices.exe: \"$listed\", status $status"
# Double-clicked, it has a console of its own, which stays until Enter.
console="$(winepath -w "$devices" 2>/dev/null)"
timeout 120 wine start /wait /unix "$devices" >/dev/null 2>&1 &
tool=$!
PIDS+=("$tool")
wait_until 60 window_exists "$console" || fail "no console window for orbwell-midi-devices.exe"
sleep 0.5
process_running "$tool" || fail "the console of orbwell-midi-devices.exe closed before Enter"
"$x11_send" key Return "$console"
await_exit "$tool" 30
[ "$STATUS" = 1 ] || fail "double-clicked orbwell-midi-devices.exe, then Enter: status $STATUS, expected 1"

# --- No console, as after a double-click: the failure in a box ----------------
text=$(printf 'PortMidi call failed...\n  %s' "$(windows_error_text pmInvalidDeviceId)")
capture_reference_box "$x11_send" timeout 120 wine "$build/show_message_box.exe" ERROR "$text" reference
timeout 120 wine "$exe" </dev/null >/dev/null 2>&1 &
app=$!
PIDS+=("$app")
expect_failure_box "$x11_send" "$app" 60 "$text"

# --- No OpenGL: the box ------------------------------------------------------
start_xvfb -extension GLX
text="Can't Find A Suitable PixelFormat."
capture_reference_box "$x11_send" timeout 120 wine "$build/show_message_box.exe" ERROR "$text"

timeout 120 wine "$exe" </dev/null >"$WORK/stdout" 2>"$WORK/stderr" &
app=$!
PIDS+=("$app")
wait_until 60 window_exists ERROR || fail "no box appeared"
! window_exists "$TITLE" || fail "the window was still there while the box was shown"
expect_box_says 30 "$text"
"$x11_send" key Return ERROR
await_exit "$app" 30
[ "$STATUS" = 0 ] || fail "exit status $STATUS after OK, expected 0"
[ ! -s "$WORK/stdout" ] || fail "MIDI was opened: $(cat "$WORK/stdout")"
echo "PASS: Windows exe: system DLLs only; window, MIDI failure, status 255, in a box without a" \
  "console; devices tool lists no device, status 1, its console stays until Enter; no OpenGL box," \
  "status 0"
