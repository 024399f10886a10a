// send_close_request TITLE: sends the window titled TITLE what a window
// manager sends when the user clicks its close button (WM_DELETE_WINDOW).
#include "x11_probe.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: send_close_request TITLE\n");
    return 2;
  }
  if (!LookUpWindow(argv[1]).found) {
    std::fprintf(stderr, "no window titled %s\n", argv[1]);
    return 1;
  }
  RequestClose(argv[1]);
  return 0;
}
