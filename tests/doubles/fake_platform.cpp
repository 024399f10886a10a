#include "fake_platform.h"

#include "call_log.h"

#include <deque>
#include <map>
#include <set>

struct HINSTANCE__ {
  int unused;
};
struct HICON__ {
  int unused;
};
struct HWND__ {
  WNDPROC windowProc;
};
struct HDC__ {
  int unused;
};
struct HGLRC__ {
  int unused;
};

namespace {

HINSTANCE__ module;
HICON__ icon;
HDC__ dc;
HGLRC__ context;

struct FakePlatform {
  std::set<std::string> failing;
  std::map<std::string, WNDPROC> classes;
  HWND window = nullptr;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;
  int frames = 0;
  std::function<void(int)> onSwap;
};

FakePlatform fake;

bool Fails(const std::string& call) {
  CallLog().push_back(call);
  return fake.failing.count(call) != 0 || fake.failing.count(call.substr(0, call.find('('))) != 0;
}

std::string MessageName(UINT message) {
  switch (message) {
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_QUIT: return "WM_QUIT";
    default: return std::to_string(message);
  }
}

}  // namespace

namespace fake_platform {

void Reset() {
  delete fake.window;
  fake = FakePlatform{};
}

void FailCall(const std::string& function) { fake.failing.insert(function); }

void Queue(UINT message, WPARAM wParam) {
  fake.queue.push_back(MSG{fake.window, message, wParam, 0, 0, POINT{0, 0}});
}

void OnSwap(std::function<void(int)> observer) { fake.onSwap = std::move(observer); }

HWND Window() { return fake.window; }

}  // namespace fake_platform

HMODULE GetModuleHandleA(LPCSTR /*name*/) { return Fails("GetModuleHandleA") ? nullptr : &module; }
HICON LoadIconA(HINSTANCE, LPCSTR) { return Fails("LoadIconA") ? nullptr : &icon; }
HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return Fails("LoadCursorA") ? nullptr : &icon; }

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (Fails(std::string("RegisterClassA(") + windowClass->lpszClassName + ")")) return 0;
  return fake.classes.emplace(windowClass->lpszClassName, windowClass->lpfnWndProc).second ? 1 : 0;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (Fails(std::string("UnregisterClassA(") + className + ")")) return FALSE;
  return fake.classes.erase(className) == 1 ? TRUE : FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
  if (Fails("AdjustWindowRectEx")) return FALSE;
  rect->top -= 20;
  return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int, int, int width,
                     int height, HWND, HMENU, HINSTANCE, void*) {
  if (Fails("CreateWindowExA(" + std::string(windowName) + ", " + std::to_string(width) + "x" +
            std::to_string(height) + ")")) {
    return nullptr;
  }
  fake.window = new HWND__{fake.classes.at(className)};
  fake.window->windowProc(fake.window, WM_CREATE, 0, 0);
  return fake.window;
}

BOOL DestroyWindow(HWND hWnd) {
  if (Fails("DestroyWindow") || hWnd != fake.window || hWnd == nullptr) return FALSE;
  hWnd->windowProc(hWnd, WM_DESTROY, 0, 0);
  delete fake.window;
  fake.window = nullptr;
  return TRUE;
}

BOOL ShowWindow(HWND, int) {
  Fails("ShowWindow");
  return FALSE;  // it was hidden
}
BOOL SetForegroundWindow(HWND) { return Fails("SetForegroundWindow") ? FALSE : TRUE; }
HWND SetFocus(HWND) {
  Fails("SetFocus");
  return nullptr;  // no window had the focus
}
HDC GetDC(HWND) { return Fails("GetDC") ? nullptr : &dc; }
int ReleaseDC(HWND, HDC) { return Fails("ReleaseDC") ? 0 : 1; }
int ChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR*) {
  return Fails("ChoosePixelFormat") ? 0 : 1;
}
BOOL SetPixelFormat(HDC, int, const PIXELFORMATDESCRIPTOR*) {
  return Fails("SetPixelFormat") ? FALSE : TRUE;
}
HGLRC wglCreateContext(HDC) { return Fails("wglCreateContext") ? nullptr : &context; }

BOOL wglMakeCurrent(HDC hDC, HGLRC) {
  return Fails(hDC == nullptr ? "wglMakeCurrent(null)" : "wglMakeCurrent(dc)") ? FALSE : TRUE;
}

BOOL wglDeleteContext(HGLRC) { return Fails("wglDeleteContext") ? FALSE : TRUE; }

BOOL SwapBuffers(HDC) {
  if (Fails("SwapBuffers")) return FALSE;
  if (fake.onSwap) fake.onSwap(++fake.frames);
  return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  CallLog().push_back(std::string("MessageBoxA(") + (owner == nullptr ? "null" : "owner") + ", " +
                      text + ", " + caption + ", " + std::to_string(type) + ")");
  return IDOK;
}

void PostQuitMessage(int code) {
  CallLog().push_back("PostQuitMessage(" + std::to_string(code) + ")");
  fake.quitPosted = true;
  fake.quitCode = code;
}

LRESULT DefWindowProcA(HWND, UINT message, WPARAM, LPARAM) {
  CallLog().push_back("DefWindowProcA(" + MessageName(message) + ")");
  return fake_platform::kDefaultResult;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT) {
  if (!fake.queue.empty()) {
    *msg = fake.queue.front();
    msg->hwnd = fake.window;  // queued maybe before the window was made
    fake.queue.pop_front();
  } else if (fake.quitPosted) {
    fake.quitPosted = false;
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(fake.quitCode), 0, 0, POINT{0, 0}};
  } else {
    CallLog().push_back("PeekMessageA(empty)");
    return FALSE;
  }
  CallLog().push_back("PeekMessageA(" + MessageName(msg->message) + ")");
  return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  CallLog().push_back("DispatchMessageA(" + MessageName(msg->message) + ")");
  return msg->hwnd != nullptr
             ? msg->hwnd->windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam)
             : 0;
}
