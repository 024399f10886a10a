// The process entry on SDL2: the program starts at WinMain, as on Windows.
#include "platform/sdl_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A descriptor from 0 to 2 that is closed at start would be given to the
// next file the process opens, the X connection among them, and the MIDI
// failure text would then be written into the X socket.
void OpenClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

}  // namespace

int main() {
  OpenClosedStandardStreams();
  CatchCloseSignals();
  const int status = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
  SDL_Quit();
  return status;
}
