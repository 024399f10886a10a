// The PortMidi double on its own, as unit tests use it: nothing but what
// the test scripts and reads through fake_portmidi.h.
#include "fake_portmidi_world.h"

namespace fake_midi {

void Logged(const std::string& /*entry*/) {}
void InputOpened() {}
void Polling() {}
void ReadFoundNothing() {}
void Wrote(const PmEvent& /*event*/) {}
std::string ClosingNote() { return ""; }

}  // namespace fake_midi
