// Module, window classes and windows on SDL2.
#include "platform/opengl.h"
#include "platform/sdl_platform.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

struct HINSTANCE__ {
  int unused;
};
struct HICON__ {
  int unused;
};

namespace {

constexpr LONG kBorder = 4;          // each side of a resizable frame
constexpr LONG kCaptionHeight = 24;  // above the client area
constexpr int kGreenBits = 6;
constexpr int kRedBlueBits = 5;
constexpr int kDepthBits = 16;
// SDL3's hint, which SDL2's own headers do not name.
constexpr char kWaylandScaleToDisplay[] = "SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY";

HINSTANCE__ module;
HICON__ winLogoIcon;
HICON__ arrowCursor;
std::map<std::string, WNDCLASSA> classes;
std::vector<HWND> windows;
HWND focus = nullptr;

// The one frame model: what AdjustWindowRectEx adds, CreateWindowExA takes
// off again, so the client area is exactly the size the caller asked for.
RECT FrameOf(DWORD style) {
  RECT frame{0, 0, 0, 0};
  if ((style & (WS_THICKFRAME | WS_CAPTION)) != 0) {
    frame = RECT{kBorder, kBorder, kBorder, kBorder};
  }
  if ((style & WS_CAPTION) == WS_CAPTION) {
    frame.top += kCaptionHeight;
  }
  return frame;
}

bool StartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    return true;
  }
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // On a scaled Wayland desktop the window keeps its size in the desktop's
  // units, as through Xwayland and on Windows, and the compositor scales the
  // picture. SDL2 on SDL3 (sdl2-compat) would otherwise size it in the
  // display's pixels: a quarter of the area at scale 2. sdl2-compat sets that
  // as video starts, over any hint but an override.
  SDL_SetHintWithPriority(kWaylandScaleToDisplay, "0", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return false;
  }
  // Without a display SDL falls back to drivers whose windows nobody sees;
  // for this program that is no window at all.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  // On X11 the visual is fixed when the window is made, so the one pixel
  // format on offer is asked for here: double-buffered RGBA, 16-bit depth,
  // fixed-function pipeline.
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, kRedBlueBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, kGreenBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, kRedBlueBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  return true;
}

void StopVideoWhenUnused() {
  if (windows.empty()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

}  // namespace

const std::vector<HWND>& WindowRecords() { return windows; }

HWND FindWindowRecord(HWND hWnd) {
  return std::find(windows.begin(), windows.end(), hWnd) != windows.end() ? hWnd : nullptr;
}

HWND FindWindowRecordById(Uint32 windowId) {
  SDL_Window* window = SDL_GetWindowFromID(windowId);
  return window != nullptr ? static_cast<HWND>(SDL_GetWindowData(window, "hWnd")) : nullptr;
}

HMODULE GetModuleHandleA(LPCSTR name) { return name == nullptr ? &module : nullptr; }

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  return instance == nullptr && name == IDI_WINLOGO ? &winLogoIcon : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return instance == nullptr && name == IDC_ARROW ? &arrowCursor : nullptr;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  const auto [entry, added] = classes.emplace(windowClass->lpszClassName, *windowClass);
  return added ? static_cast<ATOM>(classes.size()) : 0;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE /*instance*/) {
  return className != nullptr && classes.erase(className) == 1 ? TRUE : FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL /*menu*/, DWORD /*exStyle*/) {
  if (rect == nullptr) {
    return FALSE;
  }
  const RECT frame = FrameOf(style);
  rect->left -= frame.left;
  rect->top -= frame.top;
  rect->right += frame.right;
  rect->bottom += frame.bottom;
  return TRUE;
}

HWND CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND /*parent*/, HMENU /*menu*/,
                     HINSTANCE /*instance*/, void* /*param*/) {
  const auto entry = className != nullptr ? classes.find(className) : classes.end();
  if (entry == classes.end() || !StartVideo()) {
    return nullptr;
  }
  const RECT frame = FrameOf(style);
  const int clientWidth = width - frame.left - frame.right;
  const int clientHeight = height - frame.top - frame.bottom;
  const char* title = windowName != nullptr ? windowName : "";
  bool glCapable = true;
  SDL_Window* window = SDL_CreateWindow(title, x, y, clientWidth, clientHeight,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    // A display without OpenGL still has windows; it just has no pixel
    // format to offer them.
    glCapable = false;
    window = SDL_CreateWindow(title, x, y, clientWidth, clientHeight, SDL_WINDOW_HIDDEN);
  }
  if (window == nullptr) {
    StopVideoWhenUnused();
    return nullptr;
  }
  auto* hWnd = new HWND__{};
  hWnd->window = window;
  hWnd->windowProc = entry->second.lpfnWndProc;
  hWnd->dc.owner = hWnd;
  hWnd->glCapable = glCapable;
  SDL_SetWindowData(window, "hWnd", hWnd);
  windows.push_back(hWnd);
  if (hWnd->windowProc(hWnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hWnd);
    return nullptr;
  }
  return hWnd;
}

BOOL DestroyWindow(HWND hWnd) {
  if (FindWindowRecord(hWnd) == nullptr) {
    return FALSE;
  }
  hWnd->windowProc(hWnd, WM_DESTROY, 0, 0);
  windows.erase(std::find(windows.begin(), windows.end(), hWnd));
  if (focus == hWnd) {
    focus = nullptr;
  }
  StopWatchingFrames(hWnd);
  SDL_DestroyWindow(hWnd->window);
  delete hWnd;
  StopVideoWhenUnused();
  return TRUE;
}

BOOL ShowWindow(HWND hWnd, int /*command*/) {
  if (FindWindowRecord(hWnd) == nullptr) {
    return FALSE;
  }
  const bool wasVisible = (SDL_GetWindowFlags(hWnd->window) & SDL_WINDOW_SHOWN) != 0;
  SDL_ShowWindow(hWnd->window);
  // On Wayland a window appears with its first frame, not before: one cleared
  // frame puts it on screen now, as on X11 and Windows, whatever the program
  // does before it draws.
  if (SDL_GL_GetCurrentWindow() == hWnd->window && SDL_GL_GetCurrentContext() != nullptr) {
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(hWnd->window);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND hWnd) {
  if (FindWindowRecord(hWnd) == nullptr) {
    return FALSE;
  }
  SDL_RaiseWindow(hWnd->window);
  return TRUE;
}

HWND SetFocus(HWND hWnd) {
  if (FindWindowRecord(hWnd) == nullptr || SDL_SetWindowInputFocus(hWnd->window) != 0) {
    return nullptr;
  }
  HWND previous = focus;
  focus = hWnd;
  return previous;
}
