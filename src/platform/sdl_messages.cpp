// The message queue, the window procedure's defaults and message boxes on SDL2.
#include "platform/sdl_platform.h"

#include <cstdio>
#include <deque>

namespace {

constexpr UINT kIconMask = 0x000000F0;

std::deque<MSG> queue;
bool closeQueued = false;  // the close a signal asked for is on the queue
bool quitPosted = false;
int quitCode = 0;

WPARAM VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) {
    return static_cast<WPARAM>('A') + static_cast<WPARAM>(key - SDLK_a);
  }
  if (key >= SDLK_0 && key <= SDLK_9) {
    return static_cast<WPARAM>(key);
  }
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: return 0;
  }
}

// Window events after which a window that could not be seen is shown
// again for sure, and the one after which it may be: the user came back to
// it. A move or a resize may happen where it is not seen (a workspace
// switch moves it), and trying the display there costs Xwayland's 1 s.
bool IsShownAgain(Uint8 windowEvent) {
  return windowEvent == SDL_WINDOWEVENT_SHOWN || windowEvent == SDL_WINDOWEVENT_EXPOSED ||
         windowEvent == SDL_WINDOWEVENT_RESTORED || windowEvent == SDL_WINDOWEVENT_MAXIMIZED;
}

void QueueEvent(const SDL_Event& event) {
  if (event.type == SDL_KEYDOWN) {
    const WPARAM key = VirtualKeyOf(event.key.keysym.sym);
    HWND hWnd = FindWindowRecordById(event.key.windowID);
    if (key != 0 && hWnd != nullptr) {
      queue.push_back(MSG{hWnd, WM_KEYDOWN, key, 1, event.key.timestamp, POINT{0, 0}});
    }
  } else if (event.type == SDL_WINDOWEVENT) {
    HWND hWnd = FindWindowRecordById(event.window.windowID);
    if (hWnd == nullptr) return;
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
      queue.push_back(MSG{hWnd, WM_CLOSE, 0, 0, event.window.timestamp, POINT{0, 0}});
    } else if (event.window.event == SDL_WINDOWEVENT_HIDDEN ||
               event.window.event == SDL_WINDOWEVENT_MINIMIZED) {
      hWnd->unseen = true;  // no swap waits for the display meanwhile
    } else if (IsShownAgain(event.window.event)) {
      hWnd->unseen = false;
      hWnd->shownAgain = true;  // the next swap tries waiting for the display again
    } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
      hWnd->shownAgain = true;
    }
  }
}

Uint32 MessageBoxFlagsOf(UINT type) {
  switch (type & kIconMask) {
    case MB_ICONERROR: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
    case MB_ICONINFORMATION: return SDL_MESSAGEBOX_INFORMATION;
    default: return 0;
  }
}

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  // No failure may pass unseen. SDL's answer cannot tell: it hands the box
  // to zenity where that is installed and counts it as shown even when
  // zenity found no display. So the text always goes to standard error too.
  std::fprintf(stderr, "%s: %s\n", caption, text);
  // Asked to close, nobody waits for a box.
  if (CloseWasAsked()) return IDOK;
  SDL_Window* parent = FindWindowRecord(owner) != nullptr ? owner->window : nullptr;
  return SDL_ShowSimpleMessageBox(MessageBoxFlagsOf(type), caption, text, parent) == 0 ? IDOK : 0;
}

void PostQuitMessage(int code) {
  quitPosted = true;
  quitCode = code;
}

LRESULT DefWindowProcA(HWND /*hWnd*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  return 0;
}

BOOL PeekMessageA(MSG* msg, HWND /*hWnd*/, UINT /*filterMin*/, UINT /*filterMax*/,
                  UINT /*remove*/) {
  if (CloseWasAsked() && !closeQueued) {
    closeQueued = true;
    for (HWND hWnd : WindowRecords()) queue.push_back(MSG{hWnd, WM_CLOSE, 0, 0, 0, POINT{0, 0}});
    if (WindowRecords().empty()) PostQuitMessage(0);
  }
  SDL_Event event;
  while (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_PollEvent(&event) != 0) {
    QueueEvent(event);
  }
  if (!queue.empty()) {
    *msg = queue.front();
    queue.pop_front();
    return TRUE;
  }
  if (quitPosted) {
    quitPosted = false;
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, 0, POINT{0, 0}};
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* /*msg*/) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  HWND hWnd = msg != nullptr ? FindWindowRecord(msg->hwnd) : nullptr;
  return hWnd != nullptr ? hWnd->windowProc(hWnd, msg->message, msg->wParam, msg->lParam) : 0;
}
