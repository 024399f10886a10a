// What the user sees when the MIDI library fails: the library's own text, as
// the release the build uses words it, and the prompt.
#pragma once

#include <portmidi.h>

#include <string>

constexpr char kPrompt[] = "type ENTER...";

inline std::string FailureText(PmError error) {
  return std::string("PortMidi call failed...\n  ") + Pm_GetErrorText(error) + "\n" + kPrompt;
}
