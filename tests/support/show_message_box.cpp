// show_message_box CAPTION TEXT [WINDOW_TITLE]: shows the box our platform
// layer shows for a failure, so a test can compare the program's box with it
// pixel for pixel. With WINDOW_TITLE a window of that title is in front first,
// as the program's own is when a MIDI failure comes.
#include "platform/platform.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: show_message_box CAPTION TEXT [WINDOW_TITLE]\n");
    return 2;
  }
  if (argc == 4) {
    const WNDCLASSA windowClass{
        0,       DefWindowProcA, 0,       0,       GetModuleHandleA(nullptr),
        nullptr, nullptr,        nullptr, nullptr, "window"};
    RegisterClassA(&windowClass);
    HWND hWnd = CreateWindowExA(0, windowClass.lpszClassName, argv[3], WS_OVERLAPPEDWINDOW, 0, 0,
                                320, 240, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);
  }
  return MessageBoxA(nullptr, argv[2], argv[1], MB_OK | MB_ICONEXCLAMATION) == IDOK ? 0 : 1;
}
