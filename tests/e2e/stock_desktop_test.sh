#!/usr/bin/env bash
# The real program wired as on a stock Linux desktop: the kernel's Midi
# Through port is MIDI devices 0 and 1, a keyboard (a VirMIDI port, played
# from its raw side) is connected to it with the command orbwell-midi-devices
# prints (and then shows as connected), and a synthesizer (aseqdump) listens
# to it. Midi Through hands
# everything to all its listeners, so the program must not echo:
# - one note-on reaches the listener exactly once, the program keeps running
#   and draws the note's sphere enlarged;
# - a soak of 3,000 messages reaches the listener once each, in order, and
#   the program is still running;
# - Escape then ends it with status 0.
# It prints the figures as it goes. It needs that wiring (the test VM started
# with --seq-dummy auto); elsewhere it is skipped (exit status 77).
# usage: stock_desktop_test.sh PROGRAM DEVICES_TOOL X11_SEND
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/midi_ports.sh"
program=$1
devices_tool=$2
x11_send=$3
soak=3000

command -v aseqdump >/dev/null && command -v amidi >/dev/null ||
  skip "no aseqdump or amidi (alsa-utils) to listen and play"
[ -e /dev/snd/seq ] || skip "no ALSA sequencer on this machine"
devices=$("$devices_tool" 2>/dev/null) || skip "PortMidi devices 0 and 1 are no output and input here"
grep -qx "1: input  Midi Through Port-0 (ALSA)  <- orbwell-midi's input" <<<"$devices" ||
  skip "PortMidi devices 0 and 1 are not Midi Through here"
# The keyboard, and the command that connects it, as the tool says.
line=$(grep -E '^  [0-9]+ \(VirMIDI [0-9]+-[0-9]+\): aconnect ' <<<"$devices" | head -n 1)
[ -n "$line" ] || fail "orbwell-midi-devices gives no command for the VirMIDI input: $devices"
card_device=$(sed -E 's/.*\(VirMIDI ([0-9]+)-([0-9]+)\).*/\1,\2/' <<<"$line")
raw="hw:$card_device"
read -r -a connect <<<"${line#*: }"

start_xvfb
start_program
"${connect[@]}" || fail "${connect[*]} failed"
grep -qxF "${line%%: *}: connected" <<<"$("$devices_tool")" ||
  fail "orbwell-midi-devices does not show the keyboard connected: $("$devices_tool")"
stdbuf -oL aseqdump -p "Midi Through" >"$WORK/heard" 2>&1 &
PIDS+=($!)
wait_until 30 output_has "$WORK/heard" "Waiting for data" || fail "the listener did not start: $(cat "$WORK/heard")"

# heard: "channel note velocity" for each note-on the listener got.
heard() { awk '/Note on/ { gsub(/,/, ""); print $(NF - 4), $(NF - 2), $NF }' "$WORK/heard"; }
heard_count() { heard | wc -l; }
heard_at_least() { [ "$(heard_count)" -ge "$1" ]; }
# quiet_at COUNT: the listener got exactly COUNT note-ons, and no more came
# within 3 s.
quiet_at() {
  wait_until 120 heard_at_least "$1" || return 1
  sleep 3
  [ "$(heard_count)" -eq "$1" ]
}

# --- One note ---------------------------------------------------------------
base_width=$(width_now base)
amidi -p "$raw" -S "90 3C 7F"
quiet_at 1 || fail "one note-on sent, the listener got $(heard_count)"
[ "$(heard)" = "0 60 127" ] || fail "the listener got: $(heard)"
process_running "$app" || fail "the program ended after one note: $(cat "$WORK/stdout")"
wait_until 30 grown_beyond $((base_width * 18 / 10)) ||
  fail "the note did not enlarge the middle sphere ($base_width -> $(centre_width big))"
echo "one note-on sent, heard $(heard_count) time(s); the middle sphere grew from $base_width to $(centre_width big) pixels"

# --- A soak -------------------------------------------------------------------
# Four messages every tenth of a second, well within the 100 events the
# program takes between two frames even at the few frames a second that
# software OpenGL draws in the test VM.
# A pause without a process of its own: a read that times out.
mkfifo "$WORK/tick"
exec 7<>"$WORK/tick"
exec 6>"/dev/snd/midiC${card_device/,/D}"
chunk=""
for ((i = 0; i < soak; i++)); do
  channel=$((i % 16)) note=$((i % 128)) velocity=$((1 + i * 7 % 127))
  echo "$channel $note $velocity" >>"$WORK/sent"
  printf -v bytes '\\x%02X\\x%02X\\x%02X' $((0x90 + channel)) "$note" "$velocity"
  chunk+=$bytes
  if ((i % 4 == 3 || i == soak - 1)); then
    printf "$chunk" >&6
    chunk=""
    read -r -t 0.1 -u 7 || true
  fi
done
exec 6>&-
quiet_at $((soak + 1)) || true
received=$(($(heard_count) - 1))
process_running "$app" || fail "soak: the program ended: $(cat "$WORK/stdout")"
[ "$(heard | tail -n +2)" = "$(cat "$WORK/sent")" ] ||
  fail "soak: $soak sent, the listener got $received, not each once in order"
echo "soak: $soak note-ons sent, the listener got $received, the program is still running"

# --- Escape -------------------------------------------------------------------
"$x11_send" key Escape
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "Escape: exit status $STATUS"
echo "PASS: on Midi Through, each message reaches its listener once; picture, soak and Escape"
