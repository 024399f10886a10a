// Our SDL2 platform layer in a real X server with real Mesa: windows, the
// pixel format and context, the message queue and message boxes, judged from
// the X server's side where it can be.
#include "platform/sdl_platform.h"
#include "platform/opengl.h"
#include "x11_probe.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kTitle[] = "Platform Layer Test";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;

std::vector<MSG> received;

LRESULT RecordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  received.push_back(MSG{hWnd, message, wParam, lParam, 0, POINT{0, 0}});
  return 0;
}

PIXELFORMATDESCRIPTOR ProgramsRequest() {
  PIXELFORMATDESCRIPTOR request{};
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 16;
  request.cDepthBits = 16;
  return request;
}

// Takes messages until one of the kind arrives, for at most two seconds.
bool AwaitMessage(UINT kind, MSG* msg) {
  for (int tries = 0; tries < 200; ++tries) {
    while (PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg->message == kind) return true;
    }
    SDL_Delay(10);
  }
  return false;
}

class SdlPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = "PlatformTest";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
  }

  void TearDown() override {
    if (hWnd != nullptr) DestroyWindow(hWnd);
    UnregisterClassA("PlatformTest", nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  HWND Create(int width, int height) {
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, kExStyle);
    hWnd = CreateWindowExA(kExStyle, "PlatformTest", kTitle, kStyle, 0, 0, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
    return hWnd;
  }

  // A window with the program's pixel format, and a rendering context for it
  // made current; null where any step failed.
  HGLRC CreateCurrentContext(int width, int height) {
    if (Create(width, height) == nullptr) return nullptr;
    HDC hDC = GetDC(hWnd);
    const PIXELFORMATDESCRIPTOR request = ProgramsRequest();
    if (!SetPixelFormat(hDC, ChoosePixelFormat(hDC, &request), &request)) return nullptr;
    HGLRC hRC = wglCreateContext(hDC);
    return hRC != nullptr && wglMakeCurrent(hDC, hRC) ? hRC : nullptr;
  }

  HWND hWnd = nullptr;
};

TEST_F(SdlPlatformTest, ClassesAreKeptByName) {
  WNDCLASSA again{};
  again.lpfnWndProc = RecordingProc;
  again.lpszClassName = "PlatformTest";
  EXPECT_EQ(RegisterClassA(&again), 0);
  EXPECT_FALSE(UnregisterClassA("NoSuchClass", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", kTitle, kStyle, 0, 0, 100, 100, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
}

TEST_F(SdlPlatformTest, TheOuterRectangleIsLargerByTheFrameAndCaption) {
  RECT rect{0, 0, 640, 480};
  ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, kExStyle));
  EXPECT_GT(rect.right - rect.left, 640);
  EXPECT_GT(rect.bottom - rect.top - (rect.right - rect.left - 640), 480);
}

TEST_F(SdlPlatformTest, AWindowHasTheClientSizeAndTitleAskedForAndIsHiddenUntilShown) {
  ASSERT_NE(Create(640, 480), nullptr);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, WM_CREATE);
  WindowFacts facts = LookUpWindow(kTitle);
  ASSERT_TRUE(facts.found);
  EXPECT_EQ(facts.width, 640);
  EXPECT_EQ(facts.height, 480);
  EXPECT_FALSE(facts.mapped);
  EXPECT_FALSE(ShowWindow(hWnd, SW_SHOW));
  EXPECT_TRUE(LookUpWindow(kTitle).mapped);
}

TEST_F(SdlPlatformTest, DestroyingSendsWmDestroyAndRemovesTheWindow) {
  ASSERT_NE(Create(320, 240), nullptr);
  EXPECT_TRUE(DestroyWindow(hWnd));
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].message, WM_DESTROY);
  EXPECT_FALSE(LookUpWindow(kTitle).found);
  EXPECT_FALSE(DestroyWindow(hWnd));
  hWnd = nullptr;
}

TEST_F(SdlPlatformTest, RefusesPixelFormatsItCannotGive) {
  ASSERT_NE(Create(64, 64), nullptr);
  HDC hDC = GetDC(hWnd);
  ASSERT_NE(hDC, nullptr);
  PIXELFORMATDESCRIPTOR request = ProgramsRequest();
  EXPECT_EQ(ChoosePixelFormat(hDC, &request), 1);
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  EXPECT_EQ(ChoosePixelFormat(hDC, &request), 0);
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
  EXPECT_EQ(ChoosePixelFormat(hDC, &request), 0);
  request = ProgramsRequest();
  request.cColorBits = 64;
  EXPECT_EQ(ChoosePixelFormat(hDC, &request), 0);
  EXPECT_EQ(ReleaseDC(hWnd, hDC), 1);
}

TEST_F(SdlPlatformTest, TheContextIsDoubleBufferedRgbaWithDepthAndFixedFunction) {
  ASSERT_NE(Create(64, 64), nullptr);
  HDC hDC = GetDC(hWnd);
  const PIXELFORMATDESCRIPTOR request = ProgramsRequest();
  ASSERT_TRUE(SetPixelFormat(hDC, ChoosePixelFormat(hDC, &request), &request));
  EXPECT_FALSE(SetPixelFormat(hDC, 1, &request));
  HGLRC hRC = wglCreateContext(hDC);
  ASSERT_NE(hRC, nullptr);
  EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "made current too early";
  ASSERT_TRUE(wglMakeCurrent(hDC, hRC));
  GLint doubleBuffer = 0, rgba = 0, depth = 0, red = 0, green = 0, blue = 0;
  glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffer);
  glGetIntegerv(GL_RGBA_MODE, &rgba);
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  glGetIntegerv(GL_RED_BITS, &red);
  glGetIntegerv(GL_GREEN_BITS, &green);
  glGetIntegerv(GL_BLUE_BITS, &blue);
  EXPECT_EQ(doubleBuffer, GL_TRUE);
  EXPECT_EQ(rgba, GL_TRUE);
  EXPECT_GE(depth, 16);
  EXPECT_GE(red + green + blue, 16);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glEnable(GL_LIGHTING);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(SwapBuffers(hDC));
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_EQ(glGetString(GL_VERSION), nullptr);
  EXPECT_TRUE(wglDeleteContext(hRC));
}

// On Wayland a window is on screen only once a frame is presented; the
// layer presents a cleared one when it shows a window whose context is
// current, so the window is up whatever the program does next.
TEST_F(SdlPlatformTest, ShowingAWindowWithItsContextCurrentPresentsAClearedFrame) {
  HGLRC hRC = CreateCurrentContext(64, 64);
  ASSERT_NE(hRC, nullptr);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  ShowWindow(hWnd, SW_SHOW);
  EXPECT_EQ(PixelAt(kTitle, 32, 32), 0xFF0000);
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(hRC);
}

// One frame a display refresh, as on Windows: the context's swaps wait for
// the display where the driver can (swap interval 1).
TEST_F(SdlPlatformTest, MakingAContextCurrentAsksForOneFrameADisplayRefresh) {
  HGLRC hRC = CreateCurrentContext(64, 64);
  ASSERT_NE(hRC, nullptr);
  const int interval = SDL_GL_GetSwapInterval();
  SDL_GL_SetSwapInterval(0);
  const bool driverWaits = SDL_GL_SetSwapInterval(1) == 0;
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(hRC);
  if (!driverWaits) GTEST_SKIP() << "this driver never waits for the display";
  EXPECT_EQ(interval, 1);
}

// What the frame pace is told: a window the window manager unmaps (it
// minimised the window, or switched to another workspace) is not seen, and
// one it maps again is.
TEST_F(SdlPlatformTest, AWindowTheWindowManagerUnmapsIsUnseenUntilItIsMappedAgain) {
  ASSERT_NE(Create(200, 200), nullptr);
  ShowWindow(hWnd, SW_SHOW);
  auto told = [this](bool unseen) {
    MSG msg;
    for (int tries = 0; tries < 200; ++tries) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      }
      if (hWnd->unseen == unseen) return true;
      SDL_Delay(10);
    }
    return false;
  };
  ASSERT_TRUE(told(false));
  hWnd->shownAgain = false;
  SetMapped(kTitle, false);
  EXPECT_TRUE(told(true));
  SetMapped(kTitle, true);
  EXPECT_TRUE(told(false));
  EXPECT_TRUE(hWnd->shownAgain);
}

TEST_F(SdlPlatformTest, EscapeFromTheXServerArrivesAsWmKeydownWithVkEscape) {
  ASSERT_NE(Create(200, 200), nullptr);
  ShowWindow(hWnd, SW_SHOW);
  SetForegroundWindow(hWnd);
  SetFocus(hWnd);
  // The key goes where the server has the focus: wait until it is here.
  ASSERT_TRUE(FocusWindow(kTitle));
  PressKey("Escape");
  MSG msg;
  ASSERT_TRUE(AwaitMessage(WM_KEYDOWN, &msg));
  EXPECT_EQ(msg.hwnd, hWnd);
  EXPECT_EQ(msg.wParam, VK_ESCAPE);
  received.clear();
  DispatchMessageA(&msg);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, WM_KEYDOWN);
}

TEST_F(SdlPlatformTest, TheWindowManagersCloseRequestArrivesAsWmCloseAndTheWindowStays) {
  ASSERT_NE(Create(200, 200), nullptr);
  ShowWindow(hWnd, SW_SHOW);
  RequestClose(kTitle);
  MSG msg;
  ASSERT_TRUE(AwaitMessage(WM_CLOSE, &msg));
  EXPECT_EQ(msg.hwnd, hWnd);
  EXPECT_TRUE(LookUpWindow(kTitle).found);
}

TEST_F(SdlPlatformTest, WmQuitCarriesItsCodeAfterTheOtherMessagesAndAnEmptyQueueNeverWaits) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  PostQuitMessage(7);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// Without any display no window can be made. A box's text reaches standard
// error whether or not SDL then claims to have shown the box: with zenity
// installed it says so although nobody could see it.
TEST(SdlPlatformWithoutDisplayTest, NoWindowCanBeMadeAndABoxsTextReachesStandardError) {
  const std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.lpszClassName = "Headless";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  EXPECT_EQ(CreateWindowExA(0, "Headless", kTitle, kStyle, 0, 0, 100, 100, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "left something behind";
  ::testing::internal::CaptureStderr();
  MessageBoxA(nullptr, "Window Creation Error.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("ERROR: Window Creation Error.\n"),
            std::string::npos);
  UnregisterClassA("Headless", nullptr);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
