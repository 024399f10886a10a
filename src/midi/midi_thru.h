// MIDI thru that keeps the output a valid MIDI stream. The library ends a
// system-exclusive message on its input when another status message cuts it
// off, but the pieces already read have gone out: the output would hold a
// message without its end, and the library refuses whatever is written next.
#pragma once

#include "midi/midi_link.h"

// Writes link->midiEvent to the output unchanged, with three exceptions:
// - where the output holds a system-exclusive message that this event does
//   not continue (it starts with a status byte other than F7 or real time),
//   one event holding F7 goes first;
// - where the library has put bytes of a message already ended in front of a
//   new system-exclusive message, those bytes are left out and the new
//   message is written whole, four bytes to an event;
// - inside a system-exclusive message no event starts with a real-time byte,
//   since the library would send that byte twice: the next data byte goes
//   ahead of it (or the F7, with the real-time bytes then on their own).
void WriteMidiThru(MidiLink* link);

// Ends a system-exclusive message left open on the output with F7, so that
// the device is not left in the middle of one.
void EndMidiThru(MidiLink* link);
