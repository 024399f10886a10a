// The Windows operations orbwell-midi uses, by their own names.
//
// On Windows they come from <windows.h> and the system's libraries. Elsewhere
// this header declares exactly the subset the program calls, and our layer
// on SDL2 provides them: sdl_window.cpp the module, window classes and
// windows; sdl_messages.cpp the message queue and message boxes;
// sdl_gl_context.cpp device contexts, the pixel format and OpenGL contexts;
// sdl_main.cpp the process entry. Each declaration states what the program
// may rely on; anything Windows does beyond that is left out.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#else

#include <cstdint>

// ---- Types --------------------------------------------------------------

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using ATOM = WORD;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPCSTR = const char*;
using LPSTR = char*;

#define WINAPI
#define CALLBACK

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// Handles are distinct pointer types, as with STRICT on Windows.
#define ORBWELL_DECLARE_HANDLE(name) \
  struct name##__;                   \
  using name = name##__*  // NOLINT(bugprone-macro-parentheses)
ORBWELL_DECLARE_HANDLE(HINSTANCE);
ORBWELL_DECLARE_HANDLE(HWND);
ORBWELL_DECLARE_HANDLE(HDC);
ORBWELL_DECLARE_HANDLE(HGLRC);
ORBWELL_DECLARE_HANDLE(HICON);
ORBWELL_DECLARE_HANDLE(HBRUSH);
ORBWELL_DECLARE_HANDLE(HMENU);
#undef ORBWELL_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HCURSOR = HICON;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct PIXELFORMATDESCRIPTOR {
  WORD nSize;
  WORD nVersion;
  DWORD dwFlags;
  BYTE iPixelType;
  BYTE cColorBits;
  BYTE cRedBits;
  BYTE cRedShift;
  BYTE cGreenBits;
  BYTE cGreenShift;
  BYTE cBlueBits;
  BYTE cBlueShift;
  BYTE cAlphaBits;
  BYTE cAlphaShift;
  BYTE cAccumBits;
  BYTE cAccumRedBits;
  BYTE cAccumGreenBits;
  BYTE cAccumBlueBits;
  BYTE cAccumAlphaBits;
  BYTE cDepthBits;
  BYTE cStencilBits;
  BYTE cAuxBuffers;
  BYTE iLayerType;
  BYTE bReserved;
  DWORD dwLayerMask;
  DWORD dwVisibleMask;
  DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

// ---- Constants ------------------------------------------------------------

#define MAKEINTRESOURCEA(id) reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(id))
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
#define IDC_ARROW MAKEINTRESOURCEA(32512)

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_OWNDC = 0x0020;

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

constexpr int SW_SHOW = 5;
constexpr int SW_SHOWDEFAULT = 10;

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;

constexpr UINT PM_REMOVE = 0x0001;

constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;

constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
constexpr BYTE PFD_TYPE_RGBA = 0;
constexpr BYTE PFD_MAIN_PLANE = 0;

// ---- Module, classes and windows ------------------------------------------

// A handle for the program's own module (name must be null); never null.
HMODULE GetModuleHandleA(LPCSTR name);
// A stock icon or cursor handle (instance must be null); null for an unknown id.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);

// Adds the class to the table by name. 0 when the name is already registered.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// Removes a class by name. FALSE when no such class is registered.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Grows a client rectangle into the outer window rectangle for the style.
// The frame it adds is the one CreateWindowExA takes off again, so a window
// made from the result has exactly the client size given here.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);

// Makes a hidden top-level window of a registered class with OpenGL support,
// its title above it; sends WM_CREATE to the class's window procedure. Null
// when the class is unknown or no window can be made (no display, say), and
// then nothing is left behind.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, then removes the window. FALSE for an unknown window.
BOOL DestroyWindow(HWND hWnd);
// Shows the window (SW_SHOW); nonzero when it was visible before. When the
// window's rendering context is current, the window is on screen on return,
// cleared, on Wayland too.
BOOL ShowWindow(HWND hWnd, int command);
BOOL SetForegroundWindow(HWND hWnd);
// Gives the window the keyboard focus; the window that had it, or null.
HWND SetFocus(HWND hWnd);

// ---- Device and rendering contexts ----------------------------------------

// The window's own device context (CS_OWNDC); null for an unknown window.
HDC GetDC(HWND hWnd);
// 1 when the context belongs to the window, 0 otherwise.
int ReleaseDC(HWND hWnd, HDC hDC);

// The one format on offer: double-buffered RGBA drawn to the window with
// OpenGL, the window's colour depth and a depth buffer of at least 16 bits.
// Returns its index (1) when the request fits in it, 0 when it does not or
// the window cannot do OpenGL at all.
int ChoosePixelFormat(HDC hDC, const PIXELFORMATDESCRIPTOR* request);
// FALSE for any format but the one on offer, or on a second call.
BOOL SetPixelFormat(HDC hDC, int format, const PIXELFORMATDESCRIPTOR* request);
// Presents the back buffer, at most one frame a display refresh. Once a swap
// has stalled (the window cannot be seen), later ones no longer wait for the
// display but keep that pace by the clock, until a swap that tries the
// display again finds the window seen. FALSE for an unknown context.
BOOL SwapBuffers(HDC hDC);

// A compatibility (fixed-function) context for a device context whose pixel
// format is set; it is not made current. Null on failure.
HGLRC wglCreateContext(HDC hDC);
// Makes the context current on this thread, or with two nulls releases the
// current one. Its buffer swaps then wait for the display (swap interval 1)
// where the driver can.
BOOL wglMakeCurrent(HDC hDC, HGLRC hRC);
BOOL wglDeleteContext(HGLRC hRC);

// ---- Messages ------------------------------------------------------------

// Writes "caption: text" to standard error, then shows a modal box with the
// caption, the text, an OK button and the icon in type; IDOK once it is
// closed, 0 where no box could be shown.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Makes a later PeekMessageA return WM_QUIT with code in wParam, once the
// queue holds nothing else.
void PostQuitMessage(int code);
// The default handling: nothing, result 0.
LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the next message (PM_REMOVE) without waiting; FALSE when there is
// none. Keys arrive as WM_KEYDOWN with virtual-key codes, the window
// manager's close request as WM_CLOSE. Window and range filters must be 0.
BOOL PeekMessageA(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT remove);
// No character messages are made: FALSE.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of the message's window; its result.
LRESULT DispatchMessageA(const MSG* msg);

// The program's entry point, called by main().
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

#endif
