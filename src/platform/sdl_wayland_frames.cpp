// Whether a Wayland compositor draws a window, found out without waiting:
// a frame callback asked for with a swap is done once the compositor draws
// the window, and stays pending while it cannot be seen. It goes on a queue
// of its own, which SDL's event pump fills as it reads the display; the
// layer only counts what arrived there, with no listener.
#include "platform/sdl_platform.h"

#include <SDL_syswm.h>
#include <wayland-client.h>

bool WatchFrames(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (!frames.looked) {
    frames.looked = true;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(hWnd->window, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_WAYLAND) {
      return false;
    }
    frames.display = info.info.wl.display;
    frames.surface = info.info.wl.surface;
    frames.queue = wl_display_create_queue(frames.display);
  }
  if (frames.queue == nullptr) return false;
  // Asked for now, it comes with the frame the next swap commits.
  if (frames.callback == nullptr) {
    frames.callback = wl_surface_frame(frames.surface);
    if (frames.callback == nullptr) return false;
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(frames.callback), frames.queue);
  }
  return true;
}

bool FrameWasDrawn(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.callback == nullptr ||
      wl_display_dispatch_queue_pending(frames.display, frames.queue) <= 0) {
    return false;
  }
  wl_callback_destroy(frames.callback);
  frames.callback = nullptr;
  return true;
}

void StopWatchingFrames(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.callback != nullptr) wl_callback_destroy(frames.callback);
  if (frames.queue != nullptr) wl_event_queue_destroy(frames.queue);
  frames = WaylandFrames{};
}
