// Device contexts, the pixel format and OpenGL contexts on SDL2.
#include "platform/sdl_platform.h"

#include <algorithm>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOnlyFormat = 1;
constexpr int kDefaultRefreshRate = 60;  // Hz, where the display does not say
constexpr int kStalledSwapFrames = 3;    // a swap longer than this many frames has stalled
// Trying the display again by the clock while a stall paces the window: at
// least this far apart, and this many times as long as a stalled try took;
// only where one takes fewer frames than this.
constexpr std::chrono::seconds kTryEvery{1};
constexpr int kTryCostShare = 20;
constexpr int kCheapestTry = 6;
constexpr BYTE kDepthBits = 16;
constexpr DWORD kRequiredFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;

HWND OwnerOf(HDC hDC) { return hDC != nullptr ? FindWindowRecord(hDC->owner) : nullptr; }

bool FitsTheFormat(HWND hWnd, const PIXELFORMATDESCRIPTOR* request) {
  const Uint32 windowFormat = SDL_GetWindowPixelFormat(hWnd->window);
  return request != nullptr && request->nSize == sizeof(PIXELFORMATDESCRIPTOR) &&
         request->nVersion == 1 && (request->dwFlags & kRequiredFlags) == kRequiredFlags &&
         request->iPixelType == PFD_TYPE_RGBA &&
         request->cColorBits <= SDL_BITSPERPIXEL(windowFormat) &&
         request->cDepthBits <= kDepthBits && request->cStencilBits == 0 &&
         request->cAccumBits == 0;
}

Clock::duration FramePeriodOf(HWND hWnd) {
  SDL_DisplayMode mode{};
  const int rate = SDL_GetWindowDisplayMode(hWnd->window, &mode) == 0 && mode.refresh_rate > 0
                       ? mode.refresh_rate
                       : kDefaultRefreshRate;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / rate;
}

// Sleeps until the window's next frame is due, one period after the last;
// a frame that came late starts the count afresh rather than hurrying.
void PaceFrame(HWND hWnd, Clock::duration period) {
  hWnd->nextFrame += period;
  const Clock::time_point now = Clock::now();
  if (hWnd->nextFrame < now) {
    hWnd->nextFrame = now;
  } else {
    std::this_thread::sleep_until(hWnd->nextFrame);
  }
}

}  // namespace

HDC GetDC(HWND hWnd) { return FindWindowRecord(hWnd) != nullptr ? &hWnd->dc : nullptr; }

int ReleaseDC(HWND hWnd, HDC hDC) {
  return FindWindowRecord(hWnd) != nullptr && hDC == &hWnd->dc ? 1 : 0;
}

int ChoosePixelFormat(HDC hDC, const PIXELFORMATDESCRIPTOR* request) {
  HWND hWnd = OwnerOf(hDC);
  return hWnd != nullptr && hWnd->glCapable && FitsTheFormat(hWnd, request) ? kOnlyFormat : 0;
}

BOOL SetPixelFormat(HDC hDC, int format, const PIXELFORMATDESCRIPTOR* /*request*/) {
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr || !hWnd->glCapable || format != kOnlyFormat || hWnd->pixelFormat != 0) {
    return FALSE;
  }
  hWnd->pixelFormat = format;
  return TRUE;
}

BOOL SwapBuffers(HDC hDC) {
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr) {
    return FALSE;
  }
  const bool current = SDL_GL_GetCurrentWindow() == hWnd->window;
  // A stall paces the window by the clock; one swap waits for the display
  // again once the window may be seen.
  const bool stalled = hWnd->selfPaced && hWnd->driverWaits && current;
  if (stalled && FrameWasDrawn(hWnd)) hWnd->tryNow = true;
  const bool compositorTells = stalled && WatchFrames(hWnd);
  const bool trying =
      stalled && (hWnd->tryNow || (!compositorTells && Clock::now() >= hWnd->nextTry));
  if (trying) SDL_GL_SetSwapInterval(1);
  const Clock::time_point start = Clock::now();
  SDL_GL_SwapWindow(hWnd->window);
  const Clock::time_point end = Clock::now();
  const Clock::duration period = FramePeriodOf(hWnd);
  // A window the compositor does not show (on another workspace, say) gets
  // no frame of the display, and a swap waiting for one waits for SDL's or
  // the server's timeout instead: 50 ms to a second. The program echoes MIDI
  // between frames, so the layer then stops waiting and paces the frames
  // itself. It tries the display again once the window may be seen: on
  // Wayland when the compositor draws it again, elsewhere after a window
  // event that may mean so (shown, exposed, focused, moved). Where neither
  // can tell, it tries by the clock, where a try costs little (SDL 3 waits
  // 50 ms on Wayland): a twentieth of the time at most. A try as long as
  // Xwayland's 1 s timer is never made by the clock: the MIDI input could
  // fill meanwhile.
  if ((!hWnd->selfPaced || trying) && current) {
    const Clock::duration took = end - start;
    if (took > kStalledSwapFrames * period) {
      if (!hWnd->selfPaced) hWnd->nextFrame = end;
      hWnd->selfPaced = true;
      hWnd->nextTry = took < kCheapestTry * period
                          ? end + std::max<Clock::duration>(kTryEvery, kTryCostShare * took)
                          : Clock::time_point::max();
      SDL_GL_SetSwapInterval(0);
    } else if (trying) {
      hWnd->selfPaced = false;  // seen again: the display paces it
    }
  }
  if (compositorTells && !hWnd->selfPaced) StopWatchingFrames(hWnd);
  hWnd->tryNow = false;
  if (hWnd->selfPaced) {
    PaceFrame(hWnd, period);
  }
  return TRUE;
}

HGLRC wglCreateContext(HDC hDC) {
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr || hWnd->pixelFormat == 0) {
    return nullptr;
  }
  // SDL makes a new context current; this call must not.
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  SDL_GLContext context = SDL_GL_CreateContext(hWnd->window);
  SDL_GL_MakeCurrent(previousWindow, previousContext);
  return context != nullptr ? new HGLRC__{context} : nullptr;
}

BOOL wglMakeCurrent(HDC hDC, HGLRC hRC) {
  if (hRC == nullptr) {
    return SDL_GL_MakeCurrent(nullptr, nullptr) == 0 ? TRUE : FALSE;
  }
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr || SDL_GL_MakeCurrent(hWnd->window, hRC->context) != 0) {
    return FALSE;
  }
  // One frame a display refresh on every stack, as Windows' drivers do by
  // default: GLX under Mesa waits for the display unless told otherwise,
  // EGL under SDL3 does not unless asked. A driver that will not wait leaves
  // the pacing to the layer.
  hWnd->driverWaits = SDL_GL_SetSwapInterval(1) == 0;
  hWnd->selfPaced = !hWnd->driverWaits;
  hWnd->nextFrame = Clock::now();
  return TRUE;
}

BOOL wglDeleteContext(HGLRC hRC) {
  if (hRC == nullptr) {
    return FALSE;
  }
  SDL_GL_DeleteContext(hRC->context);
  delete hRC;
  return TRUE;
}
