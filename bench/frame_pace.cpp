// frame_pace SECONDS: a window made by our platform layer as the program
// makes its own, titled like it, drawing nothing but a cleared frame as
// fast as the layer lets it, for SECONDS. Each second it prints how many
// frames it presented and the longest gap between two, the pace the
// program's loop (and its MIDI thru) would have without its drawing, and
// the swap interval the layer has asked for: 1 while the display paces the
// frames, 0 while the layer does.
#include "platform/opengl.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

LRESULT QuietProc(HWND /*hWnd*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  return 0;
}

HWND MakeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = QuietProc;
  windowClass.lpszClassName = "FramePace";
  RegisterClassA(&windowClass);
  RECT rect{0, 0, 640, 480};
  AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
  return CreateWindowExA(0, "FramePace", "OpenGL Test", WS_OVERLAPPEDWINDOW, 0, 0,
                         rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: frame_pace SECONDS\n");
    return 2;
  }
  HWND hWnd = MakeWindow();
  HDC hDC = hWnd != nullptr ? GetDC(hWnd) : nullptr;
  PIXELFORMATDESCRIPTOR request{};
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.cColorBits = 16;
  request.cDepthBits = 16;
  HGLRC hRC = nullptr;
  if (hDC == nullptr || !SetPixelFormat(hDC, ChoosePixelFormat(hDC, &request), &request) ||
      (hRC = wglCreateContext(hDC)) == nullptr || !wglMakeCurrent(hDC, hRC)) {
    std::fprintf(stderr, "frame_pace: no OpenGL window\n");
    return 1;
  }
  ShowWindow(hWnd, SW_SHOW);
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::seconds(std::atoi(argv[1]));
  Clock::time_point second = start;
  Clock::time_point last = start;
  int frames = 0;
  Clock::duration longest{};
  for (int frame = 0; Clock::now() < end; ++frame) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    glClearColor(static_cast<GLfloat>(frame % 2), 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(hDC);
    const Clock::time_point now = Clock::now();
    longest = std::max(longest, now - last);
    last = now;
    ++frames;
    if (now - second >= std::chrono::seconds(1)) {
      const std::chrono::duration<double> at = now - start;
      const std::chrono::duration<double> span = now - second;
      const std::chrono::duration<double, std::milli> gap = longest;
      std::printf("%.1f s: %.1f frames per second, longest gap %.1f ms, swap interval %d\n",
                  at.count(), frames / span.count(), gap.count(), SDL_GL_GetSwapInterval());
      std::fflush(stdout);
      second = now;
      frames = 0;
      longest = {};
    }
  }
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(hRC);
  DestroyWindow(hWnd);
  return 0;
}
