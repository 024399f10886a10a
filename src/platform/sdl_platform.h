// What the SDL2 implementation files of the platform layer share: the records
// behind the Windows handles, and the table of live windows.
#pragma once

#include "platform/platform.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <chrono>

struct HDC__ {
  HWND owner;
};

struct HWND__ {
  SDL_Window* window;
  WNDPROC windowProc;
  HDC__ dc;         // CS_OWNDC: one device context for the window's life
  bool glCapable;   // false where the display offers no OpenGL visual
  int pixelFormat;  // 0 until SetPixelFormat
  // Frames are presented without waiting for the display and paced by the
  // layer instead, one a display refresh: where the driver refuses to wait,
  // and once a wait has stalled (the window cannot be seen).
  bool selfPaced;
  std::chrono::steady_clock::time_point nextFrame;
};

struct HGLRC__ {
  SDL_GLContext context;
};

// The live window behind a handle, or null for an unknown or destroyed one.
HWND FindWindowRecord(HWND hWnd);
// The live window behind an SDL window id, or null.
HWND FindWindowRecordById(Uint32 windowId);
