# shellcheck shell=bash
# Helpers for the end-to-end tests: a private X server per test, waiting for
# windows and output, and clean-up of everything a test started.
set -euo pipefail

# shellcheck disable=SC2034 # for the scripts that source this
TITLE="OpenGL Test"
WORK=$(mktemp -d)
PIDS=()

# descendants PID: every process below PID, as its children now are.
descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    descendants "$child"
  done
}

# alive PID: the process runs (a zombie waiting to be reaped does not).
alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# end_processes PID...: ends each process and all below it, found before
# any is killed, as a child whose parent has gone is found under it no
# longer. runuser and su do not hand a signal on to the command they run,
# so the command is ended itself. What is still there after 10 s is killed.
end_processes() {
  local pid all=() deadline=$((SECONDS + 10))
  for pid in "$@"; do
    all+=("$pid")
    mapfile -t -O "${#all[@]}" all < <(descendants "$pid")
  done
  for pid in "${all[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${all[@]}"; do
    while alive "$pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
}

# Whatever way the test ends, passed, failed or skipped, everything it
# started ends with it.
cleanup() {
  end_processes "${PIDS[@]}"
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# skip REASON: the test cannot run here; ctest counts exit status 77 as a skip.
skip() {
  echo "SKIP: $*"
  exit 77
}

# start_xvfb [Xvfb options]: a fresh X server on a free display; sets DISPLAY,
# and has SDL use it even on a Wayland desktop.
# It never resets: a server that resets when its last client leaves drops the
# connections that arrive meanwhile, and the tests start programs one after
# another.
start_xvfb() {
  export SDL_VIDEODRIVER=x11
  unset WAYLAND_DISPLAY
  rm -f "$WORK/displayfd"
  mkfifo "$WORK/displayfd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "$@" 3>"$WORK/displayfd" 2>"$WORK/xvfb.log" &
  PIDS+=($!)
  local number
  read -r number <"$WORK/displayfd" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  export DISPLAY=":$number"
}

# without_midi_devices: the programs the test starts from now on find no MIDI
# device, whatever ports this machine has (Midi Through, a keyboard): their
# ALSA configuration names no sequencer, so the MIDI library's first call
# into ALSA fails as it does on a machine without sound devices.
without_midi_devices() {
  echo "# No sequencer here: MIDI programs find no device." >"$WORK/no-sequencer.conf"
  export ALSA_CONFIG_PATH="$WORK/no-sequencer.conf"
}

# wait_until SECONDS COMMAND...: retries COMMAND every 0.1 s.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

window_id() { xwininfo -root -tree | grep -F "\"$1\": (" | awk '{print $1}' | head -n 1; }

window_exists() { [ -n "$(window_id "$1")" ]; }

# client_size TITLE: "WIDTHxHEIGHT" of the window's client area.
client_size() {
  xwininfo -id "$(window_id "$1")" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Message boxes titled ERROR, captured as pictures. A box may be drawn in
# steps, and Wine may even replace its X window meanwhile, so a capture is of
# the window that has the title now, and a reference only counts once it has
# stopped changing.
capture_box() { import -window "$(window_id ERROR)" "$1" 2>/dev/null; }

# same_picture A B: true when the two pictures are the same, pixel for pixel.
# compare's exit status says so on every ImageMagick release; what it prints
# differs ("0" up to 7.1.1, "0 (0)" from 7.1.2 on).
same_picture() { compare -metric AE "$1" "$2" null: >/dev/null 2>&1; }

# box_settled FILE: captures the box into FILE; true once it is as before.
box_settled() {
  capture_box "$1.new.png" || return 1
  if [ -f "$1" ] && same_picture "$1" "$1.new.png"; then
    rm -f "$1.new.png"
    return 0
  fi
  mv "$1.new.png" "$1"
  sleep 0.2
  return 1
}
# capture_reference_box X11_SEND COMMAND...: runs COMMAND, which shows a box
# titled ERROR, captures it once drawn into $WORK/reference-box.png, then
# presses OK and waits for COMMAND to end.
capture_reference_box() {
  local x11_send=$1
  shift
  "$@" >/dev/null 2>&1 &
  local reference=$!
  PIDS+=("$reference")
  wait_until 60 window_exists ERROR || fail "the reference box did not appear"
  wait_until 30 box_settled "$WORK/reference-box.png" || fail "the reference box kept changing"
  "$x11_send" key Return ERROR
  await_exit "$reference" 30
}

# box_matches FILE REFERENCE: captures the box into FILE; true if it is REFERENCE.
box_matches() { capture_box "$1" && same_picture "$1" "$2"; }

# expect_box_says SECONDS TEXT: the box shown now becomes the reference box,
# which says TEXT, within SECONDS.
expect_box_says() {
  local box="$WORK/program-box.png" reference="$WORK/reference-box.png"
  wait_until "$1" box_matches "$box" "$reference" ||
    fail "the box differs from one saying \"$2\" in $(compare -metric AE "$box" "$reference" null: 2>&1) pixels"
}

# expect_failure_box X11_SEND PID SECONDS TEXT: the process, with nothing to
# answer its MIDI failure's prompt, shows the reference box saying TEXT,
# waits while it is open, and ends with status 255 once OK is pressed.
expect_failure_box() {
  wait_until "$3" window_exists ERROR || fail "no box with nothing to answer the prompt"
  expect_box_says "$3" "$4"
  process_running "$2" || fail "did not wait for the box to be closed"
  "$1" key Return ERROR
  await_exit "$2" "$3"
  [ "$STATUS" = 255 ] || fail "nothing to answer the prompt: exit status $STATUS, expected 255"
}

# midi_failure_text PM_ERROR_TEXT ERROR: what the program prints when the MIDI
# library fails with ERROR, in the words of the library PM_ERROR_TEXT uses.
midi_failure_text() {
  local text
  text=$("$1" "$2") || fail "no text for $2 from $1"
  printf 'PortMidi call failed...\n  %s\ntype ENTER...' "$text"
}

# The picture, seen from outside: the width of the lit run through the
# window's centre, where the middle sphere (note 60) stays however the grid
# turns. screenshot NAME keeps the window's picture as $WORK/NAME.png.
screenshot() { import -window "$(window_id "$TITLE")" "$WORK/$1.png"; }
centre_width() {
  convert "$WORK/$1.png" -crop 640x1+0+240 -depth 8 txt:- | awk -F'[,:() ]+' '
    NR > 1 { lit[$1] = ($3 + $4 + $5) > 0 }
    END { l = 320; while (l > 0 && lit[l - 1]) l--; r = 320; while (r < 639 && lit[r + 1]) r++; print lit[320] ? r - l + 1 : 0 }'
}
# width_now NAME: takes a screenshot and prints the middle sphere's width.
width_now() {
  screenshot "$1"
  centre_width "$1"
}
first_frame_drawn() { [ "$(width_now first)" -gt 0 ]; }
grown_beyond() { [ "$(width_now big)" -gt "$1" ]; }
shrunk_to() { [ "$(width_now small)" -le "$1" ]; }
# The program has opened its MIDI ports on the sequencer.
ports_open() { aconnect -l | grep -q "Connecting To"; }

output_is() { [ "$(cat "$1")" = "$2" ]; }
output_has() { grep -qF -- "$2" "$1"; }

process_running() { kill -0 "$1" 2>/dev/null; }

# await_exit PID SECONDS: waits for the process and sets STATUS to its exit
# status ("timeout" if it had to be killed).
await_exit() {
  local pid=$1 deadline=$((SECONDS + $2))
  while process_running "$pid"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      kill "$pid"
      STATUS=timeout
      return
    fi
    sleep 0.1
  done
  STATUS=0
  wait "$pid" || STATUS=$?
}

# --- The ALSA sequencer, seen with its own tools -------------------------------
# seq_connections: every connection, "FROM TO" a line, as client:port. Both
# ends' lists count: aconnect leaves out ports that take no connections.
seq_connections() {
  aconnect -l | awk '
    /^client / { client = $2 + 0 }
    /^    [0-9]+ / { port = client ":" $1 }
    /Connect(ing To|ed From):/ { n = split(substr($0, index($0, ":") + 1), list, ",")
      for (i = 1; i <= n; i++) { sub(/^ /, "", list[i]); sub(/\[.*/, "", list[i])
        print (/Connecting/ ? port " " list[i] : list[i] " " port) } }' | sort -u
}
# (grep reads all: with -q it would end the pipe early, and pipefail would
# turn the match into a failure.)
connected() { seq_connections | grep -xF "$1 $2" >/dev/null; }
# seq_client NAME: the numbers of the clients called NAME, from the kernel's
# own list: aconnect leaves out clients whose ports take no connections.
seq_client() { awk -v name="\"$1\"" '$1 == "Client" && $4 == name { print $2 + 0 }' /proc/asound/seq/clients; }
# seq_port NAME: "client:0" of the first client whose name starts with NAME.
seq_port() { aconnect -l | awk -v name="$1" '/^client / && index($0, "\x27" name) { sub(/:$/, "", $2); print $2 ":0"; exit }'; }
# named_connections NAME: seq_connections, with each port of a client called
# NAME written as NAME.
named_connections() {
  local list client
  list=$(seq_connections)
  for client in $(seq_client "$1"); do list=$(sed -E "s/(^| )$client:[0-9]+/\1$1/g" <<<"$list"); done
  echo "$list"
}
# relayed KEYBOARD: whether an orbwell-midi-autoconnect reads the port.
relayed() { named_connections orbwell-midi-autoconnect | grep -xF "$1 orbwell-midi-autoconnect" >/dev/null; }
# fed_by_launcher PORT: whether an orbwell-midi-autoconnect feeds the port.
fed_by_launcher() { named_connections orbwell-midi-autoconnect | grep -xF "orbwell-midi-autoconnect $1" >/dev/null; }

# --- A real USB MIDI keyboard, made in this kernel (root; the VM) ------------------
# The configfs MIDI gadget on the dummy USB controller: the host side is a USB
# MIDI card like any keyboard's (snd-usb-audio), and what is written to the
# gadget's own raw MIDI device is played on it. The test holds that device
# open: a bridge that grabs every port (PipeWire's) would take it otherwise.
USB_GADGET=/sys/kernel/config/usb_gadget/orbwell-keyboard
USB_KEYBOARD_NAME="Orbwell Test Keyboard"
USB_PLAYER=""
# plug_usb_keyboard: makes the keyboard and plugs it in.
plug_usb_keyboard() {
  local module
  for module in libcomposite dummy_hcd usb_f_midi snd_usb_audio; do
    [ -d "/sys/module/$module" ] || skip "no $module loaded (the VM's --usb-gadget loads them)"
  done
  mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config ||
    skip "no configfs here"
  [ -d "${USB_GADGET%/*}" ] && [ -d /sys/class/udc ] || skip "no USB gadget support here"
  mkdir "$USB_GADGET" "$USB_GADGET/strings/0x409" "$USB_GADGET/configs/c.1" \
    "$USB_GADGET/functions/midi.usb0" || fail "cannot make the USB gadget"
  echo 0x1d6b >"$USB_GADGET/idVendor"
  echo 0x0104 >"$USB_GADGET/idProduct"
  echo "$USB_KEYBOARD_NAME" >"$USB_GADGET/strings/0x409/product"
  ln -s "$USB_GADGET/functions/midi.usb0" "$USB_GADGET/configs/c.1/"
  replug_usb_keyboard
}
usb_keyboard_port() { seq_port "$USB_KEYBOARD_NAME"; }
usb_keyboard_present() { [ -n "$(usb_keyboard_port)" ]; }
# unplug_usb_keyboard: a real USB disconnect, the gadget taken off its
# controller; it waits for the port to go.
unplug_usb_keyboard() {
  exec {USB_PLAYER}>&-
  echo "" >"$USB_GADGET/UDC"
  wait_until 60 eval '! usb_keyboard_present' || fail "the USB keyboard's port stayed after the unplug"
}
# replug_usb_keyboard: plugs it in, waits for its port, and opens the
# gadget's raw device, made anew, as USB_PLAYER (a descriptor).
replug_usb_keyboard() {
  local controllers=(/sys/class/udc/*)
  echo "${controllers[0]##*/}" >"$USB_GADGET/UDC"
  wait_until 60 usb_keyboard_present || fail "the USB keyboard did not appear: $(aconnect -l)"
  local card
  card=$(awk '/MIDI Gadget - f_midi/ { print $1; exit }' /proc/asound/cards)
  [ -n "$card" ] || fail "the gadget has no MIDI device: $(cat /proc/asound/cards)"
  exec {USB_PLAYER}>"/dev/snd/midiC${card}D0"
}
# play_usb_keyboard HEX: plays the bytes ("90 3C 7F") on the keyboard.
play_usb_keyboard() {
  local byte bytes=""
  for byte in $1; do bytes+="\\x$byte"; done
  # shellcheck disable=SC2059 # the bytes are the format
  printf "$bytes" >&"$USB_PLAYER" || fail "cannot play $1"
}
