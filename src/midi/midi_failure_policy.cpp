#include "midi/midi_failure_policy.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The library's texts are short; its host-error text is at most
// PM_HOST_ERROR_MSG_LEN long.
constexpr int kMessageSize = PM_HOST_ERROR_MSG_LEN + 64;

}  // namespace

PmError MidiFailurePolicy(PmError result) {
  if (result >= 0) {
    return result;
  }
  char message[kMessageSize];
  if (result == pmHostError) {
    char hostText[PM_HOST_ERROR_MSG_LEN] = "";
    Pm_GetHostErrorText(hostText, PM_HOST_ERROR_MSG_LEN);
    std::snprintf(message, sizeof message, "PortMidi found host error...\n  %s", hostText);
  } else {
    std::snprintf(message, sizeof message, "PortMidi call failed...\n  %s",
                  Pm_GetErrorText(result));
  }
  std::printf("%s\ntype ENTER...", message);
  // The prompt has no line end, and a piped stdout would hold it back.
  std::fflush(stdout);
  char line[80];
  // Nobody can answer: started from a menu, or on Windows without a console,
  // the text went nowhere. The box is then what the user sees before the end.
  if (std::fgets(line, sizeof line, stdin) == nullptr) {
    MessageBoxA(nullptr, message, "ERROR", MB_OK | MB_ICONEXCLAMATION);
  }
  std::exit(-1);
}
