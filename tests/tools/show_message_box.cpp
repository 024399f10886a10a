// show_message_box CAPTION TEXT [WINDOW_TITLE]: shows the box our platform
// layer shows for a failure, so a test can compare the program's box with it
// pixel for pixel. With WINDOW_TITLE it first shows a window of that title
// in front, as the program's own window is when a MIDI failure comes.
#include "platform/platform.h"

#include <cstdio>

namespace {

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hWnd, message, wParam, lParam);
}

void ShowWindowInFront(LPCSTR title) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "show_message_box";
  RegisterClassA(&windowClass);
  HWND hWnd = CreateWindowExA(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 320,
                              240, nullptr, nullptr, windowClass.hInstance, nullptr);
  ShowWindow(hWnd, SW_SHOW);
  SetForegroundWindow(hWnd);
  SetFocus(hWnd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: show_message_box CAPTION TEXT [WINDOW_TITLE]\n");
    return 2;
  }
  if (argc == 4) ShowWindowInFront(argv[3]);
  return MessageBoxA(nullptr, argv[2], argv[1], MB_OK | MB_ICONEXCLAMATION) == IDOK ? 0 : 1;
}
