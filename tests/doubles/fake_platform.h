// A test double of the platform layer, linked in its place: the same Windows
// operations, each logged in CallLog(), any of which can be made to fail.
// Messages are scripted; WM_QUIT follows PostQuitMessage as on Windows.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>

namespace fake_platform {

// No classes, windows or messages; nothing fails.
void Reset();

// Every later call of the function named, or of the one call as logged
// ("wglMakeCurrent(dc)"), fails the way Windows reports it.
void FailCall(const std::string& function);

// A message for the window, behind those already queued.
void Queue(UINT message, WPARAM wParam);

// Called by SwapBuffers with the number of frames presented so far.
void OnSwap(std::function<void(int frame)> observer);

// The live window, or null.
HWND Window();

// Default-procedure result, to tell it from the window procedure's own.
constexpr LRESULT kDefaultResult = 42;

}  // namespace fake_platform
