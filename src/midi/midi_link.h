// The MIDI link: input device 1 echoed to output device 0 (MIDI thru) and
// handed to the scene. Every result of opening, filtering, polling, reading,
// writing and closing a stream goes through MidiFailurePolicy, so each of
// these returns only when none of those failed. Starting and shutting down
// the library, starting its clock and draining stale input while the ports
// open are not checked: a start that went wrong shows at the first open, and
// the drain only drops events.
#pragma once

#include <portmidi.h>

#include <array>

constexpr PmDeviceID kMidiOutputDevice = 0;
constexpr PmDeviceID kMidiInputDevice = 1;
constexpr int kMidiInputQueueSize = 100;  // events; one more overflows

struct MidiLink {
  PortMidiStream* midiIn = nullptr;
  PortMidiStream* midiOut = nullptr;
  PmEvent midiEvent{};  // every read goes here; every echo comes from here
  // Output and input are the two ends of Midi Through, which hands every
  // event to all its readers itself: nothing is written back to it.
  bool outputLoopsBack = false;
  // The output holds a system-exclusive message still waiting for its F7.
  bool sysexOpen = false;
  // Its bytes are being written four to an event again, out of step with the
  // input's events; those not yet written are held here: fewer than four, or
  // real-time bytes waiting for a data byte to go ahead of them (at most 12
  // of those, and then one event more).
  bool sysexRealigned = false;
  std::array<unsigned char, 16> sysexHeld{};
  int sysexHeldCount = 0;
};

// Initialises the library and its 1 ms clock, opens the output (latency 0:
// each message leaves at once) then the input (100-event queue), filters out
// active sensing and timing clock, and drops whatever arrived meanwhile. An
// input device number the library does not have fails as pmInvalidDeviceId
// before the library is asked to open it. Notes whether the two devices are
// the ends of one loopback port (IsMidiLoopback).
void OpenMidiPorts(MidiLink* link);

// Reads every event waiting now, one at a time; writes each to the output
// (WriteMidiThru: unchanged, but for an F7 where the input had cut a
// system-exclusive message off) unless the output loops back to the input,
// then applies it to the scene. Returns when a read finds the queue empty; a
// read that finds it overflowed ends the process.
void PumpMidi(MidiLink* link);

// Ends a system-exclusive message left open on the output, closes the input,
// then the output, then shuts the library down.
void CloseMidiPorts(MidiLink* link);
