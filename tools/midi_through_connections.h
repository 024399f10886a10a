// orbwell-midi-devices on Linux, where devices 0 and 1 are the kernel's Midi
// Through port (a stock desktop): anything connected to that port plays into
// orbwell-midi.
#pragma once

// Prints that devices 0 and 1 are Midi Through, then for each input the
// library lists after them (COUNT devices in all, the library initialised)
// either the aconnect command that connects it to Midi Through, or that it
// is connected already, or that a running orbwell-midi-autoconnect plays it
// into orbwell-midi. Prints no command where the sequencer's ports no
// longer match the library's list, and nothing without a sequencer.
void PrintMidiThroughConnections(int count);
