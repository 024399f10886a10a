#include "midi/midi_failure_policy.h"

#include <cstdio>
#include <cstdlib>

PmError MidiFailurePolicy(PmError result) {
  if (result >= 0) {
    return result;
  }
  if (result == pmHostError) {
    char hostText[PM_HOST_ERROR_MSG_LEN] = "";
    Pm_GetHostErrorText(hostText, PM_HOST_ERROR_MSG_LEN);
    std::printf("PortMidi found host error...\n  %s\n", hostText);
  } else {
    std::printf("PortMidi call failed...\n  %s\n", Pm_GetErrorText(result));
  }
  std::printf("type ENTER...");
  // The prompt has no line end, and a piped stdout would hold it back.
  std::fflush(stdout);
  char line[80];
  if (std::fgets(line, sizeof line, stdin) == nullptr) {
    line[0] = '\0';
  }
  std::exit(-1);
}
