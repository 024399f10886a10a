// Device contexts, the pixel format and OpenGL contexts on SDL2.
#include "platform/sdl_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOnlyFormat = 1;
constexpr int kDefaultRefreshRate = 60;  // Hz, where the display does not say
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

// The frame pace (platform/frame_pace.h) decides how each swap is paced
// where the driver waits for the display; where it refuses, the layer
// paces every frame.
BOOL SwapBuffers(HDC hDC) {
  HWND hWnd = OwnerOf(hDC);
  if (hWnd == nullptr) {
    return FALSE;
  }
  const bool paces = hWnd->driverWaits && SDL_GL_GetCurrentWindow() == hWnd->window;
  const Clock::duration period = FramePeriodOf(hWnd);
  if (paces) PaceBeforeSwap(hWnd, period);
  const Clock::time_point start = Clock::now();
  SDL_GL_SwapWindow(hWnd->window);
  if (paces) PaceAfterSwap(hWnd, Clock::now() - start, period);
  KeepPace(hWnd, period);
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
  hWnd->pace = hWnd->driverWaits ? PaceState::kDisplayPaces : PaceState::kLayerPaces;
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
