// Where the PortMidi double meets the world outside the test that links it.
// The model (fake_portmidi.cpp) calls these at its seams and reads no
// environment; unit tests link fake_portmidi_alone.cpp, where they do
// nothing, and the whole program's test build links fake_portmidi_pipes.cpp,
// its input, echo, log and pump count through files.
#pragma once

#include <portmidi.h>

#include <string>

namespace fake_midi {

// Each call to the library, as the model logs it.
void Logged(const std::string& entry);
// Pm_OpenInput has opened the input.
void InputOpened();
// Pm_Poll is about to look at the input queue: input may arrive.
void Polling();
// A Pm_Read found the queue empty: the program's pump has ended.
void ReadFoundNothing();
// Pm_Write accepted this event.
void Wrote(const PmEvent& event);
// Added to Pm_Close's log entry.
std::string ClosingNote();

}  // namespace fake_midi
