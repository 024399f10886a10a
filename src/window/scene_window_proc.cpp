#include "window/scene_window.h"

LRESULT CALLBACK SceneWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_DESTROY: return 0;
    case WM_CLOSE:
      // The window stays until the main loop has closed the MIDI ports.
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        PostQuitMessage(0);
      }
      return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}
