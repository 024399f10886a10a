#!/usr/bin/env bash
# orbwell-midi started by orbwell-midi-autoconnect on a stock desktop, where
# MIDI devices 0 and 1 are the kernel's Midi Through port and two virtual
# ports (snd-virmidi) stand in for keyboards: A, left alone, and B, connected
# into Midi Through by hand with the line orbwell-midi-devices prints. A
# FluidSynth that nothing feeds and a listener on Midi Through are running.
# Judged by ALSA's own tools and the picture:
# - the launcher reads A, and feeds FluidSynth, while it runs; Midi Through
#   keeps only B's connection; orbwell-midi-devices says A is played in;
# - a note played on A reaches the listener exactly once, and the sphere
#   grows; 3,000 more do too, each once, in order; standard error tells
#   each connection;
# - Escape ends it with status 0; B is still connected, and nothing of the
#   launcher's is left;
# - started again, the keyboards unplugged and plugged in (the virtual card
#   unbound and bound again, as a USB unplug does): both are read again and
#   a note reaches the program; TERM ends both with status 0 and leaves no
#   connection of the launcher's;
# - started with SIGCHLD ignored and standard error a pipe nobody reads, it
#   feeds as before; QUIT ends both, with one core dump, the program's.
#
# It needs Midi Through as devices 0 and 1 and snd-virmidi with two ports,
# with root to unbind it, as in the VM started with --seq-dummy auto
# --virmidi 2; elsewhere it is skipped (exit status 77).
# usage: autoconnect_test.sh LAUNCHER DEVICES_TOOL X11_SEND
source "$(dirname "$0")/lib.sh"
launcher=$1
devices_tool=$2
x11_send=$3

for tool in amidi aseqdump fluidsynth; do
  command -v "$tool" >/dev/null || skip "no $tool"
done
[ -e /dev/snd/seq ] || skip "no ALSA sequencer on this machine"
devices=$("$devices_tool" 2>/dev/null) || true
grep -qx "1: input  Midi Through Port-0 (ALSA)  <- orbwell-midi's input" <<<"$devices" ||
  skip "devices 0 and 1 are not Midi Through"
line_a=$(grep -E '^  [0-9]+ \(VirMIDI 0-0\): aconnect ' <<<"$devices") &&
  line_b=$(grep -E '^  [0-9]+ \(VirMIDI 0-1\): aconnect ' <<<"$devices") ||
  skip "no two unconnected VirMIDI ports to stand in for keyboards: $devices"
unbind=/sys/bus/platform/drivers/snd_virmidi/unbind
[ -w "$unbind" ] || skip "cannot unplug the virtual card here ($unbind)"
keyboard_a=${line_a##* aconnect } # "FROM THROUGH"
keyboard_b=${line_b##* aconnect }
read -r a through <<<"$keyboard_a"
read -r b _ <<<"$keyboard_b"

# The program's own ports (client "Client-N") are open and connected.
program_ports_open() { aconnect -l | awk '/^client / { ours = /Client-/ } ours && /Connect/ { found = 1 }
  END { exit !found }'; }
synth=""
synth_fed() { fed_by_launcher "$synth"; }

start_xvfb
# FluidSynth renders into a file here: the VM has no sound card. Its shell
# waits on a pipe held open.
mkfifo "$WORK/synth-shell"
exec 5<>"$WORK/synth-shell"
fluidsynth -a file -o audio.file.name="$WORK/synth.wav" -m alsa_seq <&5 >"$WORK/synth.log" 2>&1 &
PIDS+=($!)
synth_port() { synth=$(aconnect -l | awk '/^client .*FLUID/ { sub(/:$/, "", $2); print $2 ":0" }') && [ -n "$synth" ]; }
wait_until 60 synth_port || fail "FluidSynth made no port: $(cat "$WORK/synth.log")"
! synth_fed || fail "something feeds FluidSynth before the start"
aconnect "$b" "$through" || fail "aconnect $keyboard_b failed"

stdbuf -oL aseqdump -p "$through" >"$WORK/heard" 2>&1 &
PIDS+=($!)
wait_until 30 output_has "$WORK/heard" "Waiting for data" || fail "the listener did not start"
heard() { awk '/Note on/ { gsub(/,/, ""); print $(NF - 4), $(NF - 2), $NF }' "$WORK/heard"; }

# Standard input holds the line that answers a MIDI failure's prompt.
start_launcher() {
  "$launcher" <<<"" >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  wait_until 60 program_ports_open || fail "the program's ports were never opened: $(cat "$WORK/stderr")"
  wait_until 60 window_exists "$TITLE" || fail "no window"
  # The first frame can take seconds where OpenGL is emulated in software.
  wait_until 120 first_frame_drawn || fail "no frame was drawn"
}
# play HEX: plays the bytes into keyboard A's raw side.
# A program that fed itself could stall the port: the bytes might never go.
play() { timeout 20 amidi -p hw:0,0 -S "$1" || true; }

# --- Keyboards present at the start -------------------------------------------
start_launcher
wait_until 30 relayed "$a" || fail "keyboard A is not read by the launcher: $(seq_connections)"
! connected "$a" "$through" || fail "keyboard A was connected into Midi Through"
connected "$b" "$through" || fail "keyboard B lost its connection"
grep -qxF "${line_a%%: *}: played into orbwell-midi by orbwell-midi-autoconnect" <<<"$("$devices_tool")" ||
  fail "orbwell-midi-devices does not show A played in: $("$devices_tool")"
wait_until 30 synth_fed || fail "FluidSynth was not fed"
base_width=$(width_now base)
play "90 3C 7F"
echo "0 60 127" >"$WORK/sent"
# Grown, the note has been through the program's pump: an echo it wrote
# back into Midi Through would have reached the listener already.
wait_until 60 grown_beyond $((base_width * 18 / 10)) ||
  fail "the note did not enlarge the middle sphere ($base_width -> $(centre_width big))"
[ "$(heard)" = "$(cat "$WORK/sent")" ] || fail "one note-on played, the listener got $(heard | wc -l)"
# Four every tenth of a second: within the 100 events the program takes
# between two frames, even at the few frames a second of the test VM. The
# pause is a read that times out, with no process of its own.
mkfifo "$WORK/tick"
chunk=""
exec 7<>"$WORK/tick" 6>/dev/snd/midiC0D0
for ((i = 0; i < 3000; i++)); do
  echo "$((i % 16)) $((i % 128)) $((1 + i * 7 % 127))" >>"$WORK/sent"
  printf -v bytes '\\x%02X\\x%02X\\x%02X' $((0x90 + i % 16)) $((i % 128)) $((1 + i * 7 % 127))
  chunk+=$bytes
  ((i % 4 < 3)) || { printf %b "$chunk" >&6; chunk=""; read -r -t 0.1 -u 7 || true; }
done
exec 6>&-
# Then the middle sphere small and large again: once it is, everything
# before has been through the pump.
play "90 3C 00"
wait_until 60 shrunk_to $((base_width + 2)) || fail "velocity 0 did not shrink the middle sphere"
play "90 3C 7F"
wait_until 60 grown_beyond $((base_width * 18 / 10)) || fail "the last note did not enlarge the sphere"
# The sequencer hands on a note-on of velocity 0 as a note-off, which heard
# leaves out.
echo "0 60 127" >>"$WORK/sent"
[ "$(heard)" = "$(cat "$WORK/sent")" ] ||
  fail "$(wc -l <"$WORK/sent") note-ons played, the listener got $(heard | wc -l), not each once in order"
process_running "$app" || fail "the program ended: $(cat "$WORK/stdout")"
told() { grep -qF "orbwell-midi-autoconnect: connected $1" "$WORK/stderr"; }
told "$a \"VirMIDI 0-0\" to orbwell-midi" && told "$a \"VirMIDI 0-0\" to $synth \"Synth input port" ||
  fail "standard error did not tell A's connections: $(cat "$WORK/stderr")"
! grep -qF "$b \"VirMIDI 0-1\" to orbwell-midi" "$WORK/stderr" ||
  fail "B, which reaches orbwell-midi through Midi Through, was given to it again"

"$x11_send" key Escape
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "Escape: exit status $STATUS"
connected "$b" "$through" || fail "the connection made by hand was removed"
[ -z "$(seq_client orbwell-midi-autoconnect)" ] || fail "the launcher's client is still there"
! synth_fed || fail "FluidSynth is still fed after the end"

# --- Unplugged and plugged in while it runs ----------------------------------------
start_launcher
wait_until 30 synth_fed || fail "FluidSynth was not connected on the second start"
echo snd_virmidi.0 >"$unbind"
echo snd_virmidi.0 >"${unbind%/*}/bind"
both_read() { relayed "$a" && relayed "$b"; }
wait_until 30 both_read || fail "the keyboards were not read again: $(seq_connections)"
wait_until 30 test -e /dev/snd/midiC0D0 || fail "the virtual card came back without its raw device"
base_width=$(width_now base)
play "90 3C 7F"
wait_until 60 grown_beyond $((base_width * 18 / 10)) ||
  fail "a note after the plug-in did not enlarge the sphere ($base_width -> $(centre_width big))"
kill -TERM "$app"
await_exit "$app" 60
[ "$STATUS" = 0 ] || fail "TERM: exit status $STATUS, expected 0 (closed as by the close button)"
[ -z "$(seq_client orbwell-midi-autoconnect)" ] && ! synth_fed ||
  fail "connections left after TERM: $(seq_connections)"

# --- Started as some scripts leave it, and ended by QUIT ---------------------------
# SIGCHLD ignored, standard error a pipe whose reader has gone: it still
# runs, feeds, and ends with its program. QUIT dumps the program's core, and
# only the program's. A core is cut at 4 MB: the whole of one takes minutes
# to write in an emulated VM.
echo "$WORK/core.%p" >/proc/sys/kernel/core_pattern
(
  ulimit -c 4096
  trap "" CHLD
  # A shell's background job starts with QUIT ignored, which it keeps.
  exec env --default-signal=QUIT "$launcher" <<<"" >"$WORK/stdout" 2> >(true)
) &
app=$!
PIDS+=("$app")
wait_until 60 window_exists "$TITLE" || fail "SIGCHLD ignored: no window"
wait_until 30 synth_fed || fail "SIGCHLD ignored, standard error gone: FluidSynth was not fed"
kill -QUIT "$app"
await_exit "$app" 120
[ "$STATUS" = 131 ] || fail "QUIT: exit status $STATUS, expected 131 (ended by QUIT)"
cores=$(cd "$WORK" && echo core.*)
[ "$cores" != "core.*" ] && [ "$cores" != "core.$app" ] && [ "$(wc -w <<<"$cores")" = 1 ] ||
  fail "QUIT: core dumps $cores, expected the program's alone (the launcher was $app)"
[ -z "$(seq_client orbwell-midi-autoconnect)" ] && ! synth_fed ||
  fail "connections left after QUIT: $(seq_connections)"
echo "PASS: keyboards read at the start and after a plug-in, FluidSynth fed, each note heard" \
  "once ($(heard | wc -l)); the hand-made connection kept, nothing of the launcher's left at the end;" \
  "SIGCHLD ignored, a broken pipe and QUIT handled"
