// The program's one window with its device and rendering contexts.
#pragma once

#include "platform/platform.h"

struct WindowState {
  HINSTANCE hInstance = nullptr;
  HWND hWnd = nullptr;  // null when there is none, likewise hDC and hRC
  HDC hDC = nullptr;
  HGLRC hRC = nullptr;
  PIXELFORMATDESCRIPTOR pixelFormat{};  // completed on the first creation
};

extern WindowState windowState;

// Registers the class "OpenGL", creates the window with a client area of
// width x height, sets a double-buffered RGBA pixel format with `bits` colour
// bits and a 16-bit depth buffer, makes a rendering context current, shows
// the window and sets up the scene. On any failure it takes down what it made,
// then shows the reason in a modal "ERROR" box and returns false.
bool CreateSceneWindow(const char* title, int width, int height, int bits);

// Deletes the quadrics, then releases the rendering context, the device
// context, the window and the class. A failure shows a "SHUTDOWN ERROR" box
// and the teardown goes on. Every handle is null afterwards, so calling it on
// a partly built window, or twice, releases nothing twice.
void DestroySceneWindow();

// Escape and the close button post quit code 0; other keys are swallowed;
// messages other than WM_CREATE and WM_DESTROY go to DefWindowProcA.
LRESULT CALLBACK SceneWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
