#include "window/scene_window.h"

#include "scene/scene_setup.h"
#include "scene/scene_state.h"

WindowState windowState;

namespace {

constexpr LPCSTR kClassName = "OpenGL";
constexpr BYTE kDepthBits = 16;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

void ShowCreationError(LPCSTR text) {
  MessageBoxA(nullptr, text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}

void ShowShutdownError(LPCSTR text) {
  MessageBoxA(nullptr, text, "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
}

// Clean-up comes before the box, so the window is gone while the user reads.
bool FailCreation(LPCSTR text) {
  DestroySceneWindow();
  ShowCreationError(text);
  return false;
}

void CompletePixelFormat(int bits) {
  PIXELFORMATDESCRIPTOR& pfd = windowState.pixelFormat;
  pfd = PIXELFORMATDESCRIPTOR{};
  pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = static_cast<BYTE>(bits);
  pfd.cDepthBits = kDepthBits;
  pfd.iLayerType = PFD_MAIN_PLANE;
}

}  // namespace

bool CreateSceneWindow(const char* title, int width, int height, int bits) {
  RECT windowRect{0, 0, width, height};
  windowState.hInstance = GetModuleHandleA(nullptr);

  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = SceneWindowProc;
  windowClass.hInstance = windowState.hInstance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) == 0) {
    ShowCreationError("Failed To Register The Window Class.");
    return false;
  }

  AdjustWindowRectEx(&windowRect, kStyle, FALSE, kExStyle);
  windowState.hWnd =
      CreateWindowExA(kExStyle, kClassName, title, kStyle | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                      windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                      nullptr, nullptr, windowState.hInstance, nullptr);
  if (windowState.hWnd == nullptr) {
    return FailCreation("Window Creation Error.");
  }

  if (windowState.pixelFormat.nSize == 0) {
    CompletePixelFormat(bits);
  }
  windowState.hDC = GetDC(windowState.hWnd);
  if (windowState.hDC == nullptr) {
    return FailCreation("Can't Create A GL Device Context.");
  }
  const int format = ChoosePixelFormat(windowState.hDC, &windowState.pixelFormat);
  if (format == 0) {
    return FailCreation("Can't Find A Suitable PixelFormat.");
  }
  if (!SetPixelFormat(windowState.hDC, format, &windowState.pixelFormat)) {
    return FailCreation("Can't Set The PixelFormat.");
  }
  windowState.hRC = wglCreateContext(windowState.hDC);
  if (windowState.hRC == nullptr) {
    return FailCreation("Can't Create A GL Rendering Context.");
  }
  if (!wglMakeCurrent(windowState.hDC, windowState.hRC)) {
    return FailCreation("Can't Activate The GL Rendering Context.");
  }

  ShowWindow(windowState.hWnd, SW_SHOW);
  SetForegroundWindow(windowState.hWnd);
  SetFocus(windowState.hWnd);
  ResizeScene(width, height);
  if (!SetUpScene()) {
    return FailCreation("Initialization Failed.");
  }
  return true;
}

void DestroySceneWindow() {
  for (GLUquadric*& quadric : sceneState.quadrics) {
    if (quadric != nullptr) {
      gluDeleteQuadric(quadric);
      quadric = nullptr;
    }
  }
  if (windowState.hRC != nullptr) {
    if (!wglMakeCurrent(nullptr, nullptr)) {
      ShowShutdownError("Release Of DC And RC Failed.");
    }
    if (!wglDeleteContext(windowState.hRC)) {
      ShowShutdownError("Release Rendering Context Failed.");
    }
    windowState.hRC = nullptr;
  }
  // Each handle is dropped once its release was tried: a failed release
  // leaves nothing this program could still use, and a second teardown must
  // not release it again.
  if (windowState.hDC != nullptr) {
    if (!ReleaseDC(windowState.hWnd, windowState.hDC)) {
      ShowShutdownError("Release Device Context Failed.");
    }
    windowState.hDC = nullptr;
  }
  if (windowState.hWnd != nullptr) {
    if (!DestroyWindow(windowState.hWnd)) {
      ShowShutdownError("Could Not Release hWnd.");
    }
    windowState.hWnd = nullptr;
  }
  if (windowState.hInstance != nullptr) {
    if (!UnregisterClassA(kClassName, windowState.hInstance)) {
      ShowShutdownError("Could Not Unregister Class.");
    }
    windowState.hInstance = nullptr;
  }
}
