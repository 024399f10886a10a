// Device contexts, the pixel format and OpenGL contexts on SDL2.
#include "platform/sdl_platform.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOnlyFormat = 1;
constexpr int kDefaultRefreshRate = 60;  // Hz, where the display does not say
constexpr int kStalledSwapFrames = 3;    // a swap longer than this many frames has stalled
// A Wayland frame not drawn this many frames after the last swap returned
// was not seen; the compositor draws a seen one within about one.
constexpr int kDrawnWithinFrames = 2;
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

// The display paces the frames: each swap waits for its next frame.
void PaceByDisplay(HWND hWnd) {
  SDL_GL_SetSwapInterval(1);
  hWnd->selfPaced = false;
}

// The layer paces them: swaps present at once, one a display period.
void PaceByLayer(HWND hWnd, Clock::time_point now) {
  SDL_GL_SetSwapInterval(0);
  if (!hWnd->selfPaced) hWnd->nextFrame = now;
  hWnd->selfPaced = true;
}

// Before a swap, where it can be told: whether the window is seen, so that
// no swap starts a wait the display will not end; elsewhere the display is
// tried again by the window system's word or the clock.
void ChoosePaceBeforeSwap(HWND hWnd, Clock::duration period) {
  const Clock::time_point now = Clock::now();
  const bool tryNow = std::exchange(hWnd->tryNow, false);
  if (IsWaylandWindow(hWnd)) {
    if (hWnd->selfPaced) {
      if (FrameWasDrawn(hWnd)) PaceByDisplay(hWnd);
    } else if (!AwaitFrame(hWnd, hWnd->lastSwap + kDrawnWithinFrames * period)) {
      PaceByLayer(hWnd, now);
    }
    AskForNextFrame(hWnd);
    return;
  }
  if (!hWnd->selfPaced && hWnd->unseen) PaceByLayer(hWnd, now);
  if (hWnd->selfPaced && !hWnd->unseen && (tryNow || now >= hWnd->nextTry)) PaceByDisplay(hWnd);
}

// After a swap: one that waited past a few frames all the same (a covered
// window on X11, a workspace under Xwayland) stalled, and the layer paces
// from then on; it tries the display again by the clock only where a try
// costs little (SDL 3 waits 50 ms on Wayland), a twentieth of the time at
// most. A try as long as Xwayland's 1 s timer is never made by the clock:
// the MIDI input could fill meanwhile.
void NoteSwap(HWND hWnd, Clock::duration took, Clock::duration period, Clock::time_point end) {
  if (hWnd->selfPaced || took <= kStalledSwapFrames * period) return;
  PaceByLayer(hWnd, end);
  hWnd->nextTry = took < kCheapestTry * period
                      ? end + std::max<Clock::duration>(kTryEvery, kTryCostShare * took)
                      : Clock::time_point::max();
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

// A window the compositor does not show (minimised, on another workspace,
// on a blanked screen) gets no frame of the display, and a swap waiting for
// one waits for SDL's or the server's timeout instead: 50 ms to a second.
// The program echoes MIDI between frames, so the layer paces the frames
// itself while the window is not seen, and decides so before the swap
// wherever it can: on Wayland by the compositor's frame callbacks, on X11
// by the window system's hidden and minimised events.
BOOL SwapBuffers(HDC hDC) {
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr) {
    return FALSE;
  }
  const bool paces = hWnd->driverWaits && SDL_GL_GetCurrentWindow() == hWnd->window;
  const Clock::duration period = FramePeriodOf(hWnd);
  if (paces) ChoosePaceBeforeSwap(hWnd, period);
  const Clock::time_point start = Clock::now();
  SDL_GL_SwapWindow(hWnd->window);
  const Clock::time_point end = Clock::now();
  if (paces) NoteSwap(hWnd, end - start, period, end);
  if (hWnd->selfPaced) {
    PaceFrame(hWnd, period);
  }
  hWnd->lastSwap = Clock::now();
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
  hWnd->nextFrame = hWnd->lastSwap = Clock::now();
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
