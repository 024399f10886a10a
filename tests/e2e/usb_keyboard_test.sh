#!/usr/bin/env bash
# orbwell-midi-autoconnect on desktops as players have them: a real USB
# keyboard (the kernel's MIDI gadget on its dummy USB controller), Midi
# Through as devices 0 and 1, and FluidSynth to hear it, with its MIDI dump
# counting what arrives:
# - FluidSynth with its own autoconnect on (Qsynth's default): one note
#   played arrives there once, and the sphere grows; Midi Through is left
#   alone; the keyboard unplugged and plugged in again (both connect it
#   anew): heard again, and once;
# - the launcher killed with KILL: its program ends too, and after the next
#   start and end the sequencer's connections are as before the first start;
# - PipeWire's MIDI bridge made and active, FluidSynth run as Debian's user
#   service runs it: one note arrives there once and the sphere grows.
#
# It needs root, the gadget's modules, FluidSynth and PipeWire, and Midi
# Through as devices 0 and 1, as in the VM started with --seq-dummy auto
# --virmidi 0; elsewhere it is skipped (exit status 77).
# usage: usb_keyboard_test.sh LAUNCHER X11_SEND
source "$(dirname "$0")/lib.sh"
launcher=$1
x11_send=$2

for tool in amidi aconnect fluidsynth pipewire pw-cli pw-link pw-midirecord dbus-daemon; do
  command -v "$tool" >/dev/null || skip "no $tool"
done
[ -e /dev/snd/seq ] || skip "no ALSA sequencer on this machine"
[ "$(id -u)" = 0 ] || skip "plugging in a USB keyboard needs root"
through=$(seq_port "Midi Through")
[ "$through" = 14:0 ] || skip "no Midi Through as the first port"
plug_usb_keyboard
keyboard=$(usb_keyboard_port)
start_xvfb

# start_synth NAME OPTION...: FluidSynth as Debian's user service starts it,
# rendering into a file (the VM has no sound card), its MIDI dump in
# $WORK/NAME.dump; sets synth to its port.
start_synth() {
  local name=$1
  shift
  stdbuf -oL fluidsynth -is -a file -o audio.file.name="$WORK/$name.wav" -d "$@" \
    >"$WORK/$name.dump" 2>&1 &
  synth_pid=$!
  PIDS+=("$synth_pid")
  dump=$WORK/$name.dump
  wait_until 60 eval '[ -n "$(seq_port FLUID)" ]' || fail "FluidSynth made no port: $(cat "$dump")"
  synth=$(seq_port FLUID)
}
stop_synth() {
  kill "$synth_pid"
  await_exit "$synth_pid" 30
}
# arrivals KEY: how many note messages for KEY reached the synthesizer.
arrivals() { grep -Ec "^event_pre_note(on|off) 0 $1 " "$dump" || true; }
# heard_once_each KEY MARKER HEX: plays the marker note (HEX) once the note
# KEY has been through the launcher; when the synthesizer has the marker, it
# has every copy of KEY that came before (one client, one queue).
marked() { [ "$(arrivals "$1")" -ge 1 ]; }
play_marker() {
  play_usb_keyboard "$2"
  wait_until 60 marked "$1" || fail "the marker note never reached FluidSynth: $(cat "$dump")"
}

start_launcher() {
  "$launcher" <<<"" >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  wait_until 60 window_exists "$TITLE" || fail "no window: $(cat "$WORK/stderr")"
  wait_until 120 first_frame_drawn || fail "no frame was drawn"
  wait_until 60 output_has "$WORK/stderr" "to orbwell-midi" ||
    fail "the keyboard was not played into orbwell-midi: $(cat "$WORK/stderr")"
  base_width=$(width_now base)
}
# play_note: the middle sphere's note, at full velocity, grows the sphere.
play_note() {
  play_usb_keyboard "90 3C 7F"
  wait_until 60 grown_beyond $((base_width * 18 / 10)) ||
    fail "$1: the note did not enlarge the middle sphere ($base_width -> $(centre_width big))"
}
program_running() { grep -qx orbwell-midi /proc/[0-9]*/comm 2>/dev/null; }

# --- FluidSynth connects itself to every keyboard -------------------------------
start_synth autoconnect -o midi.autoconnect=1
wait_until 60 connected "$keyboard" "$synth" || fail "FluidSynth did not connect the keyboard itself"
before=$(seq_connections)
start_launcher
play_note "beside FluidSynth's autoconnect"
play_marker 61 "90 3D 7F"
[ "$(arrivals 60)" = 1 ] || fail "beside FluidSynth's autoconnect: one note arrived $(arrivals 60) times"
! connected "$keyboard" "$through" || fail "the keyboard was connected into Midi Through"
! fed_by_launcher "$synth" || fail "FluidSynth, which hears the keyboard, was fed by the launcher too"

unplug_usb_keyboard
replug_usb_keyboard
keyboard=$(usb_keyboard_port)
settled() { relayed "$keyboard" && connected "$keyboard" "$synth" && ! fed_by_launcher "$synth"; }
wait_until 60 settled || fail "after the plug-in: $(seq_connections; cat "$WORK/stderr")"
play_usb_keyboard "90 3C 00"
wait_until 60 shrunk_to $((base_width + 2)) || fail "after the plug-in, the note did not reach orbwell-midi"
play_marker 62 "90 3E 7F"
[ "$(arrivals 60)" = 2 ] || fail "after the plug-in: the note arrived $(($(arrivals 60) - 1)) times"

# The launcher's connections go with it, and the program ends with it; the
# next run leaves the connections as they were before the first.
kill -KILL "$app"
wait "$app" 2>/dev/null || true
wait_until 60 eval '! program_running' || fail "orbwell-midi went on after its launcher was killed"
start_launcher
"$x11_send" key Escape
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "Escape after a killed launcher: exit status $STATUS"
after=$(seq_connections)
[ "$after" = "$before" ] ||
  fail "connections changed after a KILL and a new run: $(diff <(echo "$before") <(echo "$after"))"
stop_synth

# --- PipeWire's MIDI bridge --------------------------------------------------------
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 <<<"$bus")
export DBUS_SESSION_BUS_ADDRESS
PIDS+=("$(tail -n 1 <<<"$bus")")
pipewire >"$WORK/pipewire.log" 2>&1 &
PIDS+=($!)
wait_until 60 pw-cli info 0 || fail "PipeWire did not start: $(cat "$WORK/pipewire.log")"
pw-cli create-node spa-node-factory \
  '{ factory.name=api.alsa.seq.bridge node.name=Midi-Bridge object.linger=true }' >/dev/null ||
  fail "cannot make PipeWire's MIDI bridge"
bridge_port() { pw-link -o | grep -m 1 '^Midi-Bridge:Midi Through'; }
wait_until 60 bridge_port || fail "the bridge has no port: $(pw-link -o)"
pw-midirecord "$WORK/bridge.mid" >/dev/null 2>&1 &
PIDS+=($!)
wait_until 60 eval 'pw-link -i | grep "^pw-midirecord:" >/dev/null' || fail "pw-midirecord made no port"
pw-link "$(bridge_port)" "$(pw-link -i | grep -m 1 '^pw-midirecord:')" || fail "cannot link the bridge"
start_synth service
bridge_feeds_synth() { named_connections PipeWire-RT-Event | grep -xF "PipeWire-RT-Event $synth" >/dev/null; }
wait_until 60 bridge_feeds_synth || fail "the active bridge did not subscribe to FluidSynth: $(aconnect -l)"
start_launcher
wait_until 60 fed_by_launcher "$synth" ||
  fail "beside PipeWire's bridge, FluidSynth was not fed: $(seq_connections; cat "$WORK/stderr")"
play_note "beside PipeWire's bridge"
play_marker 61 "90 3D 7F"
[ "$(arrivals 60)" = 1 ] || fail "beside PipeWire's bridge: one note arrived $(arrivals 60) times"

kill -TERM "$app"
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "TERM: exit status $STATUS, expected 0"
echo "PASS: a real USB keyboard heard once by FluidSynth beside its own autoconnect and beside" \
  "PipeWire's bridge, and after a plug-in; the picture followed; nothing left after a KILL"
