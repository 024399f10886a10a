// TERM, INT and HUP (a session's end, Ctrl+C, a closed terminal) end the
// program as the close button does: the main loop closes the MIDI streams
// first, so a system-exclusive message cut off on the output is ended with
// F7, and the program exits with 0. SDL's own handlers are off (they would
// stay installed after SDL_Quit), so the layer notes the signal itself.
#include "platform/sdl_platform.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t closeAsked = 0;

void NoteCloseSignal(int /*number*/) { closeAsked = 1; }

}  // namespace

void CatchCloseSignals() {
  struct sigaction action {};
  action.sa_handler = NoteCloseSignal;
  // A second signal ends the program at once, wherever it hangs; and no
  // restart, so a prompt that waits for a line gives up.
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
}

bool CloseWasAsked() { return closeAsked != 0; }
