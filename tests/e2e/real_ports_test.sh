#!/usr/bin/env bash
# The real program against a real ALSA sequencer port at PortMidi devices 0
# and 1, judged by independent ALSA tools: what is played into the port's raw
# side must come back out of it unchanged and in order, minus active sensing
# and timing clock, with a system-exclusive message cut off by a status byte
# closed; the demo piece comes out message for message; the picture
# follows; Escape and the close button end the program with status 0; a
# flood past the 100-event input queue ends it with the library's overflow
# text.
#
# It needs a virtual port (snd-virmidi) as devices 0 and 1, so that the test
# can play into its raw side; elsewhere it is skipped (exit status 77). Midi
# Through as devices 0 and 1, a stock desktop, is autoconnect_test.sh's.
# Started the second time through orbwell-midi-autoconnect, the program is
# closed with the close button: the launcher connects nothing, says so once,
# and leaves no sequencer client of its own behind in the program.
# usage: real_ports_test.sh PROGRAM DEVICES_TOOL X11_SEND PM_ERROR_TEXT SEQ_SEND LAUNCHER
source "$(dirname "$0")/lib.sh"
program=$1
devices_tool=$2
x11_send=$3
pm_error_text=$4
seq_send=$5
launcher=$6

command -v amidi >/dev/null || skip "no amidi (alsa-utils) to play into the port"
[ -e /dev/snd/seq ] || skip "no ALSA sequencer on this machine"
devices=$("$devices_tool" 2>/dev/null) || skip "PortMidi devices 0 and 1 are no output and input here"
port=$(sed -n 's/^0: output \(VirMIDI [0-9]*-[0-9]*\) (ALSA).*/\1/p' <<<"$devices")
[ -n "$port" ] && grep -q "^1: input  $port (ALSA)" <<<"$devices" ||
  skip "PortMidi devices 0 and 1 are not a virtual (VirMIDI) port the test can play into"
card_device=${port#VirMIDI }
raw="hw:${card_device%-*},${card_device#*-}"

# normalise: hex bytes in, one message per line out, with the running status
# that the kernel's raw MIDI encoder leaves out written back in.
normalise() {
  tr -d ' \n' | tr a-f A-F | sed 's/../& /g' | awk '
    function value(h) { return (index(H, substr(h, 1, 1)) - 1) * 16 + index(H, substr(h, 2, 1)) - 1 }
    function data_bytes(s) {
      if (s >= 192 && s < 224) return 1    # program change, channel pressure
      if (s < 240) return 2
      return s == 242 ? 2 : (s == 241 || s == 243 ? 1 : 0)
    }
    BEGIN { H = "0123456789ABCDEF" }
    { for (i = 1; i <= NF; i++) {
        b = value($i)
        if (b >= 248) { print $i; continue }            # real time goes anywhere
        if (sysex) { msg = msg $i; if (b == 247) { print msg; msg = ""; sysex = 0 }; continue }
        if (b == 240) { msg = $i; sysex = 1; running = ""; continue }
        if (b >= 128) {                                   # a status byte
          msg = $i; need = data_bytes(b); running = b < 240 ? $i : ""
        } else if (msg == "") {                           # data under running status
          msg = running $i; need = data_bytes(value(running)) - 1
        } else {
          msg = msg $i; need--
        }
        if (need == 0) { print msg; msg = "" }
      } }'
}

# listen: dumps what comes out of the port's raw side into $WORK/out, from
# the moment it returns.
listen() {
  stdbuf -o0 amidi -p "$raw" -d >"$WORK/out" 2>/dev/null &
  listener=$!
  PIDS+=("$listener")
  listening() {
    local fd
    for fd in "/proc/$listener/fd"/*; do [[ $(readlink "$fd") == /dev/snd/midi* ]] && return 0; done
    return 1
  }
  wait_until 30 listening || fail "amidi did not open $raw"
}
# heard_back COUNT: once COUNT messages have come out (or after two minutes),
# stops listening and prints them, normalised.
heard_back() {
  come() { [ "$(normalise <"$WORK/out" | wc -l)" -ge "$1" ]; }
  wait_until 120 come "$1" || true
  kill "$listener"
  wait "$listener" 2>/dev/null || true
  normalise <"$WORK/out"
}
# thru HEX COUNT: plays HEX into the port and prints the COUNT messages that
# came back.
thru() {
  listen
  amidi -p "$raw" -S "$1"
  heard_back "$2"
}

centre_rgb() { convert "$WORK/$1.png" -crop 1x1+320+240 -depth 8 txt:- | awk -F'[()]' 'NR == 2 { print $2 }'; }

# start_program [STARTER]: the program, or STARTER starting it. Standard
# input holds the line that answers a MIDI failure's prompt.
start_program() {
  "${1:-$program}" <<<"" >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  wait_until 60 ports_open || fail "the ports were never opened"
  wait_until 60 window_exists "$TITLE" || fail "no window"
  # The first frame can take seconds where OpenGL is emulated in software.
  wait_until 120 first_frame_drawn || fail "no frame was drawn"
  # Every sphere starts at its base size.
  base_width=$(centre_width first)
}

start_xvfb
start_program

# --- MIDI thru, byte for byte -------------------------------------------
# shellcheck disable=SC2034 # read through ${!name}
{
  channel="90 3C 64 91 3D 65 80 3C 00 8F 3D 10 B0 07 7F B5 0B 20 C0 05 CA 7F D0 40 D3 01 E0 00 40 EF 7F 7F A0 3C 22"
  common="FA FC FB F2 10 20 F3 05 F6"
  sysex_short="F0 7D 01 02 03 04 05 F7 F0 7E F7"
  sysex_long="F0 7D $(for i in $(seq 0 299); do printf '%02X ' $((i % 128)); done)F7"
}
for name in channel common sysex_short sysex_long; do
  sent=${!name}
  got=$(thru "$sent" "$(normalise <<<"$sent" | wc -l)")
  [ "$got" = "$(normalise <<<"$sent")" ] || fail "$name: sent $sent, got $(tr '\n' ' ' <<<"$got")"
done
# A system-exclusive message cut off by a note-on: the library drops the
# note-on, but what follows it comes out, after the message is closed.
sysex_cut="F0 7D $(for i in $(seq 0 297); do printf '%02X ' $((i % 128)); done)"
got=$(thru "$sysex_cut 90 3C 64 B0 07 40 90 3E 50" 3)
process_running "$app" || fail "cut-off system exclusive: the program ended: $(cat "$WORK/stdout")"
[ "$(tail -n 2 <<<"$got")" = $'B00740\n903E50' ] &&
  grep -qE '^F07D[0-9A-F]*F7$' <<<"$got" ||
  fail "cut-off system exclusive: got $(tr '\n' ' ' <<<"$got")"
got=$(thru "90 30 7F FE F8 F8 80 30 00 FE F8 FA" 3)
[ "$got" = $'90307F\n803000\nFA' ] || fail "active sensing or clock passed: $(tr '\n' ' ' <<<"$got")"
# A start message inside a long system-exclusive message: the kernel hands
# the first 256 bytes over, then the start, and the library packs the start
# as the first byte of the next event. It must go out once, not twice.
data=$(for i in $(seq 0 263); do printf '%02X ' $((i % 128)); done)
got=$(thru "F0 7D ${data:0:762}FA ${data:762}F7" 2)
[ "$got" = "$(printf 'FA\nF07D%sF7' "$(tr -d ' ' <<<"$data")")" ] ||
  fail "start inside system exclusive: got $(tr '\n' ' ' <<<"$got")"

# --- Pieces from software on the sequencer ----------------------------------
# Software can hand the sequencer system-exclusive pieces that hold other
# status bytes. Release 217 of the library packs those as data, release 2
# ends the message there; either way one F7 ends what went out of the first
# message, and what follows comes whole.
input_port=$(aconnect -l | awk -v port="${port#VirMIDI }'" '
  /^client / { virmidi = index($0, "Virtual Raw MIDI " port) > 0 }
  virmidi && /Connecting To:/ { sub(/.*Connecting To: /, ""); sub(/\[.*/, ""); print; exit }')
[ -n "$input_port" ] || fail "no sequencer port of the program reads from $port: $(aconnect -l)"
# sequencer COUNT PIECE...: sends the pieces to the program's input on the
# sequencer and prints the COUNT messages that came out of the port.
sequencer() {
  listen
  "$seq_send" "$input_port" "${@:2}" || fail "could not send to the program's port $input_port"
  heard_back "$1"
}
got=$(sequencer 2 "F0 01 02 03 04 05" "06 07 B0 07 40 08 F7")
[ "$got" = $'F001020304050607F7\nB00740' ] || fail "status inside the pieces: got $(tr '\n' ' ' <<<"$got")"
got=$(sequencer 2 "F0 11 12 13 14 15 16" "F0 21 22 F7")
grep -qxE 'F0111213(141516)?F7' <<<"$(head -n 1 <<<"$got")" &&
  [ "$(tail -n +2 <<<"$got")" = "F02122F7" ] ||
  fail "a new F0 inside the pieces: got $(tr '\n' ' ' <<<"$got")"

# --- The picture follows the port ----------------------------------------
# The thru tests above left note 60 at velocity 100: back to the base size,
# as the first frame drew it.
amidi -p "$raw" -S "90 3C 00"
wait_until 60 shrunk_to $((base_width + 2)) || fail "velocity 0 did not shrink the middle sphere"
# A note-on on channel 2, then the light turned red on channel 1: once the
# light is red, the note has been taken too, and must have changed nothing.
rgb_before=$(centre_rgb small) rgb_after=""
amidi -p "$raw" -S "91 3C 7F B0 0B 7F B0 0C 00 B0 0D 00"
turned_red() {
  screenshot red
  rgb_after=$(centre_rgb red)
  awk -F, -v b="$rgb_before" -v a="$rgb_after" 'BEGIN { split(b, x, ","); split(a, y, ",");
    exit !(y[3] < x[3] / 2 && y[1] >= x[1]) }'
}
wait_until 60 turned_red || fail "the diffuse light did not turn red: $rgb_before -> $rgb_after"
[ "$(centre_width red)" -le $((base_width + 2)) ] || fail "a note-on on channel 2 changed the sphere"
amidi -p "$raw" -S "90 3C 7F"
wait_until 30 grown_beyond $((base_width * 18 / 10)) ||
  fail "velocity 127 did not enlarge the middle sphere ($base_width -> $(centre_width big))"
amidi -p "$raw" -S "90 3C 00"
wait_until 30 shrunk_to $((base_width + 2)) ||
  fail "velocity 0 did not shrink the middle sphere again"

# --- The demo piece, played as a keyboard would -----------------------------
# smf_messages FILE: the messages of a standard MIDI file of one track at a
# fixed tempo, with the second each starts at: "SECONDS HEX" lines, the hex
# as normalise prints it.
smf_messages() {
  od -An -v -tx1 "$1" | tr a-f A-F | awk '
    function value(h) { return (index(H, substr(h, 1, 1)) - 1) * 16 + index(H, substr(h, 2, 1)) - 1 }
    function varlen(   v, x) { v = 0; do { x = value(b[p++]); v = v * 128 + x % 128 } while (x >= 128); return v }
    BEGIN { H = "0123456789ABCDEF"; tempo = 500000 }
    { for (i = 1; i <= NF; i++) b[n++] = $i }
    END {
      division = value(b[12]) * 256 + value(b[13])
      for (p = 14; p < n; p = end) {
        track = b[p] b[p + 1] b[p + 2] b[p + 3] == "4D54726B"
        end = p + 8 + ((value(b[p + 4]) * 256 + value(b[p + 5])) * 256 + value(b[p + 6])) * 256 + value(b[p + 7])
        for (p += 8; track && p < end; ) {
          ticks += varlen()
          s = value(b[p])
          if (s == 255 && b[p + 1] == "51") tempo = (value(b[p + 3]) * 256 + value(b[p + 4])) * 256 + value(b[p + 5])
          if (s == 255) { p += 2; p += varlen(); continue }
          if (s == 240 || s == 247) { p++; p += varlen(); continue }
          if (s >= 128) running = b[p++]
          s = value(running)
          msg = running b[p++]
          if (s < 192 || s >= 224) msg = msg b[p++]
          printf "%.3f %s\n", ticks * tempo / division / 1e6, msg
        } } }'
}
demo=$(dirname "$0")/../../data/orbwell-midi-demo.mid
smf_messages "$demo" >"$WORK/demo"
cut -d " " -f 2 "$WORK/demo" >"$WORK/demo-sent"
[ "$(wc -l <"$WORK/demo-sent")" -gt 300 ] || fail "the demo piece holds $(wc -l <"$WORK/demo-sent") messages"
listen
# Into the port's raw side, each message at its time in the piece, as a
# keyboard plays it: the pause before it, then its bytes as printf writes
# them. The pauses are reads that time out, with no process of their own.
awk '{ bytes = $2; gsub(/../, "\\x&", bytes); printf "%.3f %s\n", $1 - at, bytes; at = $1 }' \
  "$WORK/demo" >"$WORK/demo-paced"
mkfifo "$WORK/pause"
exec 7<>"$WORK/pause" 6>"/dev/snd/midiC${card_device/-/D}"
while read -r pause bytes; do
  [ "$pause" = 0.000 ] || read -r -t "$pause" -u 7 || true
  printf %b "$bytes" >&6
done <"$WORK/demo-paced"
heard_back "$(wc -l <"$WORK/demo-sent")" >"$WORK/demo-out"
cmp -s "$WORK/demo-out" "$WORK/demo-sent" ||
  fail "the demo piece: $(wc -l <"$WORK/demo-sent") messages played, $(wc -l <"$WORK/demo-out") came out:" \
    "$(diff "$WORK/demo-out" "$WORK/demo-sent" | head -n 5)"
process_running "$app" || fail "the demo piece ended the program: $(cat "$WORK/stdout")"

# --- Escape and the close button ------------------------------------------
"$x11_send" key Escape
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "Escape: exit status $STATUS"

start_program "$launcher"
[ "$(aconnect -l | grep -c "^client [0-9]*: 'Client-")" = 1 ] ||
  fail "started by the launcher: not one sequencer client in the program: $(aconnect -l)"
"$x11_send" close "$TITLE"
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "close request: exit status $STATUS"
[ "$(cat "$WORK/stderr")" = "orbwell-midi-autoconnect: MIDI devices 0 and 1 are not Midi Through here, so nothing is connected; orbwell-midi plays from device 1 as it is" ] ||
  fail "the launcher on a port as devices 0 and 1 said: $(cat "$WORK/stderr")"

# --- A flood past the input queue ------------------------------------------
start_program
# 180 note-ons in one write, nearly twice what the queue holds: the kernel
# hands them over together, so the queue overflows whatever the frame is
# doing. No more than that: from about 200 events in one write (the size of
# the receiving client's event pool) the virtual port stalls, its own
# delivery waiting on the echo that waits on it.
for i in $(seq 180); do printf "%b" "\\x90\\x$(printf %02X $((48 + i % 25)))\\x40"; done >"$WORK/flood.mid"
amidi -p "$raw" -s "$WORK/flood.mid" -d -t 2 >/dev/null
await_exit "$app" 60
[ "$STATUS" = 255 ] || fail "flood: exit status $STATUS, stdout: $(cat "$WORK/stdout")"
expected=$(midi_failure_text "$pm_error_text" pmBufferOverflow)
output_is "$WORK/stdout" "$expected" || fail "flood: stdout was: $(cat "$WORK/stdout")"
echo "PASS: thru byte for byte, filter, picture, Escape, close and overflow on $port"
