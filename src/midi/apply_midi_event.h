// Turns one incoming MIDI event into a change of sceneState.
#pragma once

#include <portmidi.h>

// Note-on on channel 1 (status 0x90) for notes 48 to 72 sets that sphere's
// level to the velocity. Control change on channel 1 (0xB0) sets the light
// field of its controller (1 and 7: position y and x, -2.0 to 2.0; 11 to 13:
// diffuse red, green, blue; 15 to 17: ambient red, green, blue; 0.0 to 1.0),
// then hands all three light parameters to OpenGL, whatever the controller.
// Everything else, and any message whose data bytes are not MIDI data bytes
// (0x80 or above), changes nothing. Needs a current rendering context.
void ApplyMidiEvent(const PmEvent* event);
