// The one rule for every MIDI library result: any error is fatal.
#pragma once

#include <portmidi.h>

// Returns result unchanged when it is not negative. Otherwise writes
// "PortMidi found host error...\n  <host text>\n" (pmHostError, and clears
// the host text) or "PortMidi call failed...\n  <error text>\n" to standard
// output, then the prompt "type ENTER...", and reads one line from standard
// input. Where none can be read (standard input at its end, or not open),
// the same text is shown in a modal "ERROR" box as well. Then it ends the
// process with exit(-1), so exit handlers run and output is flushed. Never
// returns in that case.
PmError MidiFailurePolicy(PmError result);
