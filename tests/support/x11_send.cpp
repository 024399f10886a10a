// x11_send close TITLE: sends the window titled TITLE what a window manager
//   sends when the user clicks its close button (WM_DELETE_WINDOW).
// x11_send key KEY [TITLE]: presses and releases KEY (an X key name such as
//   Escape or Return), first giving the window titled TITLE the focus.
// It exits only once the X server has taken what it sent, so that nothing is
// lost however busy the machine is.
#include "x11_probe.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: x11_send close TITLE | x11_send key KEY [TITLE]\n");
  return 2;
}

int NoWindow(const char* title) {
  std::fprintf(stderr, "no window titled %s\n", title);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
    if (!LookUpWindow(argv[2]).found) return NoWindow(argv[2]);
    RequestClose(argv[2]);
  } else if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "key") == 0) {
    if (argc == 4 && !FocusWindow(argv[3])) return NoWindow(argv[3]);
    PressKey(argv[2]);
  } else {
    return Usage();
  }
  Disconnect();
  return 0;
}
