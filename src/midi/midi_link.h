// The MIDI link: input device 1 echoed to output device 0 (MIDI thru) and
// handed to the scene. Every library result goes through MidiFailurePolicy,
// so each of these returns only when the library did not fail.
#pragma once

#include <portmidi.h>

constexpr PmDeviceID kMidiOutputDevice = 0;
constexpr PmDeviceID kMidiInputDevice = 1;
constexpr int kMidiInputQueueSize = 100;  // events; one more overflows

struct MidiLink {
  PortMidiStream* midiIn = nullptr;
  PortMidiStream* midiOut = nullptr;
  PmEvent midiEvent{};  // every read goes here; every echo comes from here
};

// Initialises the library and its 1 ms clock, opens the output (latency 0:
// each message leaves at once) then the input (100-event queue), filters out
// active sensing and timing clock, and drops whatever arrived meanwhile.
void OpenMidiPorts(MidiLink* link);

// Reads every event waiting now, one at a time; writes each unchanged to the
// output, then applies it to the scene. Returns when a read finds the queue
// empty; a read that finds it overflowed ends the process.
void PumpMidi(MidiLink* link);

// Closes the input, then the output, then shuts the library down.
void CloseMidiPorts(MidiLink* link);
