// frame_rate TITLE SECONDS: counts the frames the window titled TITLE
// presents for SECONDS, as the X server sees them (damage reports), and
// prints the mean frame time. It sleeps until the server reports something.
#include "x11_probe.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: frame_rate TITLE SECONDS\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  int eventBase = 0, errorBase = 0;
  if (display == nullptr || !XDamageQueryExtension(display, &eventBase, &errorBase)) {
    std::fprintf(stderr, "no X server with the DAMAGE extension\n");
    return 1;
  }
  const Window window = WindowIdOf(argv[1]);
  if (window == 0) {
    std::fprintf(stderr, "no window titled %s\n", argv[1]);
    return 1;
  }
  const Damage damage = XDamageCreate(display, window, XDamageReportNonEmpty);
  const auto seconds = std::chrono::duration<double>(std::atof(argv[2]));
  const auto start = std::chrono::steady_clock::now();
  long frames = 0;
  const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(seconds);
  XFlush(display);
  for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == eventBase + XDamageNotify) {
        ++frames;
        XDamageSubtract(display, damage, None, None);
      }
    }
    XFlush(display);
    pollfd reports{ConnectionNumber(display), POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
    poll(&reports, 1, static_cast<int>(left.count()) + 1);
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("frames: %ld in %.1f s, mean frame time %.1f ms\n", frames, elapsed,
              frames > 0 ? 1000.0 * elapsed / static_cast<double>(frames) : 0.0);
  return frames > 0 ? 0 : 1;
}
