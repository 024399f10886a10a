// show_message_box CAPTION TEXT: shows the box our platform layer shows for
// a creation error, so a test can compare the program's box with it pixel
// for pixel.
#include "platform/platform.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: show_message_box CAPTION TEXT\n");
    return 2;
  }
  return MessageBoxA(nullptr, argv[2], argv[1], MB_OK | MB_ICONEXCLAMATION) == IDOK ? 0 : 1;
}
