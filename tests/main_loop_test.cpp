// The entry function and its loop, against the test doubles of the platform
// and of the MIDI library: what goes first, what waits, and how it ends.
#include "call_log.h"
#include "fake_platform.h"
#include "fake_portmidi.h"
#include "scene/scene_state.h"
#include "window/scene_window.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Log = std::vector<std::string>;

int RunProgram() { return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT); }

size_t IndexOf(const std::string& call, size_t from = 0) {
  return static_cast<size_t>(
      std::find(CallLog().begin() + static_cast<long>(from), CallLog().end(), call) -
      CallLog().begin());
}

size_t CountOf(const std::string& call) {
  return static_cast<size_t>(std::count(CallLog().begin(), CallLog().end(), call));
}

class MainLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_platform::Reset();
    fake_midi::Reset();
    windowState = WindowState{};
    sceneState = SceneState{};
  }
  void TearDown() override { fake_platform::Reset(); }
};

TEST_F(MainLoopTest, ClearsTheLevelsAndOpensMidiOnlyOnceTheWindowIsUp) {
  sceneState.levels.fill(99);
  fake_platform::OnSwap([](int) { fake_platform::Queue(WM_KEYDOWN, VK_ESCAPE); });
  ASSERT_EQ(RunProgram(), 0);
  EXPECT_EQ(sceneState.levels, (std::array<std::int32_t, kSphereCount>{}));
  EXPECT_LT(IndexOf("SetFocus"), IndexOf("Pm_Initialize"));
}

TEST_F(MainLoopTest, AFailedWindowEndsWithStatusZeroAndNeverOpensMidi) {
  fake_platform::FailCall("CreateWindowExA");
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(IndexOf("Pm_Initialize"), CallLog().size());
}

TEST_F(MainLoopTest, PendingWindowMessagesGoBeforeAnyMidiOrFrame) {
  fake_platform::Queue(WM_KEYDOWN, 'A');
  fake_platform::Queue(WM_KEYDOWN, 'B');
  fake_platform::Queue(WM_KEYDOWN, 'C');
  fake_platform::OnSwap([](int) { fake_platform::Queue(WM_CLOSE, 0); });
  ASSERT_EQ(RunProgram(), 0);
  const size_t loop = IndexOf("Pm_Poll(in)") + 1;  // after the drain
  EXPECT_EQ(
      Log(CallLog().begin() + static_cast<long>(loop),
          CallLog().begin() + static_cast<long>(loop) + 8),
      (Log{"PeekMessageA(WM_KEYDOWN)", "DispatchMessageA(WM_KEYDOWN)", "PeekMessageA(WM_KEYDOWN)",
           "DispatchMessageA(WM_KEYDOWN)", "PeekMessageA(WM_KEYDOWN)",
           "DispatchMessageA(WM_KEYDOWN)", "PeekMessageA(empty)", "Pm_Poll(in)"}));
  EXPECT_LT(IndexOf("Pm_Poll(in)", loop), IndexOf("SwapBuffers"));
}

TEST_F(MainLoopTest, ABurstBetweenTwoFramesIsEchoedAndAppliedBeforeTheNextFrame) {
  std::vector<size_t> writtenAtFrame;
  std::vector<int> levelAtFrame;
  fake_platform::OnSwap([&](int frame) {
    writtenAtFrame.push_back(fake_midi::Written().size());
    levelAtFrame.push_back(sceneState.levels[12]);
    if (frame == 1) {
      for (int velocity = 1; velocity <= 60; ++velocity)
        fake_midi::Play(Pm_Message(0x90, 60, velocity));
    } else {
      fake_platform::Queue(WM_KEYDOWN, VK_ESCAPE);
    }
  });
  ASSERT_EQ(RunProgram(), 0);
  EXPECT_EQ(writtenAtFrame, (std::vector<size_t>{0, 60}));
  EXPECT_EQ(levelAtFrame, (std::vector<int>{0, 60}));
}

TEST_F(MainLoopTest, EscapeEndsTheLoopClosingMidiBeforeTheWindowWithStatusZero) {
  fake_platform::OnSwap([](int frame) {
    if (frame == 3) fake_platform::Queue(WM_KEYDOWN, VK_ESCAPE);
  });
  ASSERT_EQ(RunProgram(), 0);
  const size_t escape = IndexOf("DispatchMessageA(WM_KEYDOWN)");
  EXPECT_EQ(Log(CallLog().begin() + static_cast<long>(escape), CallLog().end()),
            (Log{"DispatchMessageA(WM_KEYDOWN)", "PostQuitMessage(0)", "PeekMessageA(WM_QUIT)",
                 "Pm_Close(in)", "Pm_Close(out)", "Pm_Terminate", "wglMakeCurrent(null)",
                 "wglDeleteContext", "ReleaseDC", "DestroyWindow", "UnregisterClassA(OpenGL)"}));
  EXPECT_EQ(CountOf("SwapBuffers"), 3u);
}

TEST_F(MainLoopTest, TheCloseButtonEndsItTheSameWay) {
  fake_platform::OnSwap([](int) { fake_platform::Queue(WM_CLOSE, 0); });
  ASSERT_EQ(RunProgram(), 0);
  EXPECT_LT(IndexOf("Pm_Terminate"), IndexOf("DestroyWindow"));
  EXPECT_EQ(CountOf("SwapBuffers"), 1u);
}

TEST_F(MainLoopTest, WhileTheQueueNeverEmptiesNoFrameIsDrawnAndNoMidiRead) {
  for (int i = 0; i < 1000; ++i) fake_platform::Queue(WM_KEYDOWN, 'A');
  fake_platform::Queue(WM_KEYDOWN, VK_ESCAPE);
  ASSERT_EQ(RunProgram(), 0);
  EXPECT_EQ(CountOf("SwapBuffers"), 0u);
  EXPECT_EQ(CountOf("DispatchMessageA(WM_KEYDOWN)"), 1001u);
  const auto loop = CallLog().begin() + static_cast<long>(IndexOf("PeekMessageA(WM_KEYDOWN)"));
  EXPECT_EQ(std::count_if(loop, CallLog().end(),
                          [](const std::string& call) {
                            return call.rfind("Pm_Poll", 0) == 0 || call.rfind("Pm_Read", 0) == 0;
                          }),
            0);
}

}  // namespace
