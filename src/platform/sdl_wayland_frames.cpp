// Whether a Wayland compositor draws a window, found out without waiting
// past a deadline: a frame callback asked for with a swap is done once the
// compositor draws the window, and stays pending while it cannot be seen.
// It goes on a queue of its own, which SDL's event pump fills as it reads
// the display; the layer only counts what arrived there, with no listener.
#include "platform/sdl_platform.h"

#include <poll.h>

#include <SDL_syswm.h>
#include <wayland-client.h>

namespace {

// Reads what the display has sent into the window's queue, waiting no
// longer than until the deadline; false when nothing came.
bool ReadDisplayUntil(const WaylandFrames& frames, std::chrono::steady_clock::time_point deadline) {
  if (wl_display_prepare_read_queue(frames.display, frames.queue) != 0) return true;
  wl_display_flush(frames.display);
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  pollfd display{wl_display_get_fd(frames.display), POLLIN, 0};
  // A signal that cuts the wait short ends it as the deadline does: the
  // swap goes on unthrottled, and the close is seen at the next message.
  if (left.count() <= 0 || poll(&display, 1, static_cast<int>(left.count())) <= 0) {
    wl_display_cancel_read(frames.display);
    return false;
  }
  return wl_display_read_events(frames.display) == 0;
}

}  // namespace

bool IsWaylandWindow(HWND hWnd) {
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
  return frames.queue != nullptr;
}

void AskForNextFrame(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.queue == nullptr || frames.callback != nullptr) return;
  frames.callback = wl_surface_frame(frames.surface);
  if (frames.callback != nullptr) {
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(frames.callback), frames.queue);
  }
}

bool FrameWasDrawn(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.callback == nullptr) return false;
  // Only the callback lives on the queue, so an event there is its done. A
  // dispatch cannot tell: it counts the display's own events too.
  if (wl_display_prepare_read_queue(frames.display, frames.queue) == 0) {
    wl_display_cancel_read(frames.display);
    return false;
  }
  wl_display_dispatch_queue_pending(frames.display, frames.queue);
  wl_callback_destroy(frames.callback);
  frames.callback = nullptr;
  return true;
}

bool AwaitFrame(HWND hWnd, std::chrono::steady_clock::time_point deadline) {
  const WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.callback == nullptr) return true;
  while (!FrameWasDrawn(hWnd)) {
    if (!ReadDisplayUntil(frames, deadline)) return false;
  }
  return true;
}

void StopWatchingFrames(HWND hWnd) {
  WaylandFrames& frames = hWnd->waylandFrames;
  if (frames.callback != nullptr) wl_callback_destroy(frames.callback);
  if (frames.queue != nullptr) wl_event_queue_destroy(frames.queue);
  frames = WaylandFrames{};
}
