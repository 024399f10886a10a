// The kernel's "Midi Through" port on Linux hands every event written to it
// straight on to all its readers. Where orbwell-midi's output and input are
// its two ends, an echo comes back in as input, and goes round without end.
#pragma once

#include <portmidi.h>

// Whether output and input, as Pm_GetDeviceInfo describes them (either may
// be null), are the two ends of one Midi Through port: both on ALSA, both
// named "Midi Through Port-N". The kernel's duplex ports (":A" and ":B") hand
// what one is sent to the other's readers, so they are not such a pair.
bool IsMidiLoopback(const PmDeviceInfo* output, const PmDeviceInfo* input);
