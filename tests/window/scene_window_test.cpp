// The window's creation and teardown logic, and the window procedure, against
// the platform's test double: every failure reaches the user in its own box,
// after the clean-up, and the teardown never stops halfway.
#include "window/scene_window.h"
#include "call_log.h"
#include "fake_platform.h"
#include "scene/scene_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using Log = std::vector<std::string>;
constexpr UINT kCreationBox = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kShutdownBox = MB_OK | MB_ICONINFORMATION;

std::string Box(const std::string& text, const std::string& caption, UINT type) {
  return "MessageBoxA(null, " + text + ", " + caption + ", " + std::to_string(type) + ")";
}

Log Boxes() {
  Log boxes;
  std::copy_if(CallLog().begin(), CallLog().end(), std::back_inserter(boxes),
               [](const std::string& call) { return call.rfind("MessageBoxA", 0) == 0; });
  return boxes;
}

size_t IndexOf(const std::string& call) {
  return static_cast<size_t>(std::find(CallLog().begin(), CallLog().end(), call) -
                             CallLog().begin());
}

class SceneWindowLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_platform::Reset();
    CallLog().clear();
    windowState = WindowState{};
    sceneState = SceneState{};
  }
  void TearDown() override {
    DestroySceneWindow();
    fake_platform::Reset();
  }
};

TEST_F(SceneWindowLogicTest, BuildsEverythingInOrderAndShowsNoBox) {
  ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  EXPECT_EQ(CallLog(),
            (Log{"GetModuleHandleA", "LoadIconA", "LoadCursorA", "RegisterClassA(OpenGL)",
                 "AdjustWindowRectEx", "CreateWindowExA(OpenGL Test, 640x500)", "GetDC",
                 "ChoosePixelFormat", "SetPixelFormat", "wglCreateContext", "wglMakeCurrent(dc)",
                 "ShowWindow", "SetForegroundWindow", "SetFocus"}));
  EXPECT_NE(windowState.hWnd, nullptr);
  EXPECT_NE(windowState.hDC, nullptr);
  EXPECT_NE(windowState.hRC, nullptr);
  EXPECT_EQ(std::count(sceneState.quadrics.begin(), sceneState.quadrics.end(), nullptr), 0);
}

TEST_F(SceneWindowLogicTest, AsksForTheDocumentedPixelFormatFieldByField) {
  ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  PIXELFORMATDESCRIPTOR expected{};
  expected.nSize = 40;
  expected.nVersion = 1;
  expected.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  expected.iPixelType = PFD_TYPE_RGBA;
  expected.cColorBits = 16;
  expected.cDepthBits = 16;
  expected.iLayerType = PFD_MAIN_PLANE;
  EXPECT_EQ(std::memcmp(&windowState.pixelFormat, &expected, sizeof expected), 0);
  // Kept from the first call: a later call with other bits asks the same.
  DestroySceneWindow();
  ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 32));
  EXPECT_EQ(windowState.pixelFormat.cColorBits, 16);
}

struct CreationFailure {
  const char* failingCall;
  const char* text;
  Log cleanUp;  // what is released before the box
};

class CreationFailureTest : public SceneWindowLogicTest,
                            public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(CreationFailureTest, CleansUpThenShowsItsTextAndReturnsFalse) {
  fake_platform::FailCall(GetParam().failingCall);
  EXPECT_FALSE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  EXPECT_EQ(Boxes(), Log{Box(GetParam().text, "ERROR", kCreationBox)});
  // The box comes last: everything released is released before it.
  Log expected = GetParam().cleanUp;
  expected.push_back(Box(GetParam().text, "ERROR", kCreationBox));
  ASSERT_GE(CallLog().size(), expected.size());
  EXPECT_EQ(Log(CallLog().end() - static_cast<long>(expected.size()), CallLog().end()), expected);
  EXPECT_EQ(windowState.hWnd, nullptr);
  EXPECT_EQ(windowState.hDC, nullptr);
  EXPECT_EQ(windowState.hRC, nullptr);
}

const Log kReleaseWindow{"DestroyWindow", "UnregisterClassA(OpenGL)"};
const Log kReleaseDc{"ReleaseDC", "DestroyWindow", "UnregisterClassA(OpenGL)"};
const Log kReleaseAll{"wglMakeCurrent(null)", "wglDeleteContext", "ReleaseDC", "DestroyWindow",
                      "UnregisterClassA(OpenGL)"};

INSTANTIATE_TEST_SUITE_P(
    EachStep, CreationFailureTest,
    ::testing::Values(
        CreationFailure{"RegisterClassA", "Failed To Register The Window Class.", {}},
        CreationFailure{"CreateWindowExA", "Window Creation Error.", {"UnregisterClassA(OpenGL)"}},
        CreationFailure{"GetDC", "Can't Create A GL Device Context.", kReleaseWindow},
        CreationFailure{"ChoosePixelFormat", "Can't Find A Suitable PixelFormat.", kReleaseDc},
        CreationFailure{"SetPixelFormat", "Can't Set The PixelFormat.", kReleaseDc},
        CreationFailure{"wglCreateContext", "Can't Create A GL Rendering Context.", kReleaseDc},
        CreationFailure{"wglMakeCurrent(dc)", "Can't Activate The GL Rendering Context.",
                        kReleaseAll}),
    [](const ::testing::TestParamInfo<CreationFailure>& test) {
      const std::string call = test.param.failingCall;
      return call.substr(0, call.find('('));
    });

TEST_F(SceneWindowLogicTest, EachTeardownFailureShowsItsBoxAndTheTeardownGoesOn) {
  ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  for (const char* call :
       {"wglMakeCurrent", "wglDeleteContext", "ReleaseDC", "DestroyWindow", "UnregisterClassA"}) {
    fake_platform::FailCall(call);
  }
  CallLog().clear();
  DestroySceneWindow();
  EXPECT_EQ(
      CallLog(),
      (Log{"wglMakeCurrent(null)",
           Box("Release Of DC And RC Failed.", "SHUTDOWN ERROR", kShutdownBox), "wglDeleteContext",
           Box("Release Rendering Context Failed.", "SHUTDOWN ERROR", kShutdownBox), "ReleaseDC",
           Box("Release Device Context Failed.", "SHUTDOWN ERROR", kShutdownBox), "DestroyWindow",
           Box("Could Not Release hWnd.", "SHUTDOWN ERROR", kShutdownBox),
           "UnregisterClassA(OpenGL)",
           Box("Could Not Unregister Class.", "SHUTDOWN ERROR", kShutdownBox)}));
  EXPECT_EQ(std::count(sceneState.quadrics.begin(), sceneState.quadrics.end(), nullptr),
            kSphereCount);
}

TEST_F(SceneWindowLogicTest, ASecondTeardownAfterFailedReleasesReleasesNothingAgain) {
  ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  for (const char* call : {"wglDeleteContext", "ReleaseDC", "DestroyWindow", "UnregisterClassA"}) {
    fake_platform::FailCall(call);
  }
  DestroySceneWindow();
  EXPECT_EQ(windowState.hWnd, nullptr);
  EXPECT_EQ(windowState.hDC, nullptr);
  EXPECT_EQ(windowState.hRC, nullptr);
  EXPECT_EQ(windowState.hInstance, nullptr);
  CallLog().clear();
  DestroySceneWindow();
  EXPECT_EQ(CallLog(), Log{});
}

TEST_F(SceneWindowLogicTest, WithoutADeviceContextTheWindowAndClassStillGoWithoutAnotherBox) {
  fake_platform::FailCall("GetDC");
  EXPECT_FALSE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  EXPECT_EQ(fake_platform::Window(), nullptr);
  EXPECT_EQ(Boxes(), Log{Box("Can't Create A GL Device Context.", "ERROR", kCreationBox)});
  EXPECT_LT(IndexOf("UnregisterClassA(OpenGL)"), CallLog().size());
}

// The window procedure's table.
class SceneWindowProcTest : public SceneWindowLogicTest {};

TEST_F(SceneWindowProcTest, EscapeAndTheCloseButtonAskToQuitWithCodeZero) {
  EXPECT_EQ(SceneWindowProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0), 0);
  EXPECT_EQ(SceneWindowProc(nullptr, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(CallLog(), (Log{"PostQuitMessage(0)", "PostQuitMessage(0)"}));
}

TEST_F(SceneWindowProcTest, OtherKeysAreSwallowed) {
  for (WPARAM key : {VK_RETURN, VK_SPACE, WPARAM{'Q'}, WPARAM{0x70}}) {
    EXPECT_EQ(SceneWindowProc(nullptr, WM_KEYDOWN, key, 0), 0);
  }
  EXPECT_EQ(CallLog(), Log{});
}

TEST_F(SceneWindowProcTest, CreateAndDestroyDoNothing) {
  EXPECT_EQ(SceneWindowProc(nullptr, WM_CREATE, 0, 0), 0);
  EXPECT_EQ(SceneWindowProc(nullptr, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(CallLog(), Log{});
}

TEST_F(SceneWindowProcTest, EverythingElseGoesToTheDefaultProcedure) {
  constexpr UINT kSize = 0x0005;
  EXPECT_EQ(SceneWindowProc(nullptr, kSize, 0, 0), fake_platform::kDefaultResult);
  EXPECT_EQ(CallLog(), Log{"DefWindowProcA(5)"});
}

}  // namespace
