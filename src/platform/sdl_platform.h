// What the SDL2 implementation files of the platform layer share: the records
// behind the Windows handles, and the table of live windows.
#pragma once

#include "platform/platform.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <chrono>
#include <vector>

struct wl_display;
struct wl_surface;
struct wl_event_queue;
struct wl_callback;

// A Wayland window's frame callback on a queue of the layer's own.
struct WaylandFrames {
  bool looked = false;  // whether the window was asked for its Wayland surface
  wl_display* display = nullptr;
  wl_surface* surface = nullptr;
  wl_event_queue* queue = nullptr;  // made on first use
  wl_callback* callback = nullptr;  // asked for, not yet done
};

struct HDC__ {
  HWND owner = nullptr;
};

struct HWND__ {
  SDL_Window* window = nullptr;
  WNDPROC windowProc = nullptr;
  HDC__ dc;                // CS_OWNDC: one device context for the window's life
  bool glCapable = false;  // false where the display offers no OpenGL visual
  int pixelFormat = 0;     // 0 until SetPixelFormat
  // Frames are presented without waiting for the display and paced by the
  // layer instead, one a display refresh: where the driver refuses to wait,
  // for good, and while the window cannot be seen.
  bool selfPaced = false;
  bool driverWaits = false;  // the context took swap interval 1
  std::chrono::steady_clock::time_point nextFrame{};
  std::chrono::steady_clock::time_point lastSwap{};  // when the last swap returned
  // Where no compositor tells whether it draws the window: the window
  // system said it is hidden or minimised; and while the layer paces it,
  // when the display is next tried again, by the clock, or at once after a
  // window event that may mean it is seen again.
  bool unseen = false;
  std::chrono::steady_clock::time_point nextTry{};
  bool tryNow = false;
  WaylandFrames waylandFrames;
};

struct HGLRC__ {
  SDL_GLContext context;
};

// The live window behind a handle, or null for an unknown or destroyed one.
HWND FindWindowRecord(HWND hWnd);
// Every live window, in the order they were made.
const std::vector<HWND>& WindowRecords();

// From now on TERM, INT and HUP only note that the program is asked to
// close; the next PeekMessageA hands each window a WM_CLOSE. Called first
// thing, before any thread is made.
void CatchCloseSignals();
// Whether one of them has arrived.
bool CloseWasAsked();
// The live window behind an SDL window id, or null.
HWND FindWindowRecordById(Uint32 windowId);

// Whether the window is a Wayland window, whose compositor can tell the
// layer whether it draws it; looked up once.
bool IsWaylandWindow(HWND hWnd);
// Asks for the Wayland window's next frame callback, to come with the next
// swap, unless one is pending already.
void AskForNextFrame(HWND hWnd);
// Whether the compositor has drawn the window since AskForNextFrame asked, as
// far as SDL's event pump has read; never waits. A new ask is needed then.
bool FrameWasDrawn(HWND hWnd);
// Reads the display until the compositor has drawn the frame asked for, or
// until the deadline; whether it drew it. True when none was asked for.
bool AwaitFrame(HWND hWnd, std::chrono::steady_clock::time_point deadline);
// Drops what IsWaylandWindow and AskForNextFrame made, before the window goes.
void StopWatchingFrames(HWND hWnd);
