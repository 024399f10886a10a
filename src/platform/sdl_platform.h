// What the SDL2 implementation files of the platform layer share: the records
// behind the Windows handles, and the table of live windows.
#pragma once

#include "platform/frame_pace.h"
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
  // How its frames are paced (platform/frame_pace.h). Where the driver
  // refuses to wait for the display, the layer paces them for good.
  PaceState pace = PaceState::kDisplayPaces;
  bool driverWaits = false;                           // the context took swap interval 1
  std::chrono::steady_clock::time_point nextFrame{};  // while the layer paces
  std::chrono::steady_clock::time_point lastSwap{};   // when the last swap returned
  // What the window system said: the window is hidden or minimised; it was
  // shown or focused since the last swap. And when the display is next
  // tried by the clock, where nothing tells.
  bool unseen = false;
  bool shownAgain = false;
  std::chrono::steady_clock::time_point nextTry = std::chrono::steady_clock::time_point::max();
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

// The frame pace of a window whose driver waits for the display: before
// its swap and after it, with how long the swap took.
void PaceBeforeSwap(HWND hWnd, std::chrono::steady_clock::duration period);
void PaceAfterSwap(HWND hWnd, std::chrono::steady_clock::duration took,
                   std::chrono::steady_clock::duration period);
// After every swap: while the layer paces, sleeps until the next frame is due.
void KeepPace(HWND hWnd, std::chrono::steady_clock::duration period);

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
