// A fresh scene in the program's own window: real SDL2 layer, real Mesa
// context, sceneState back at its initial values. Needs $DISPLAY.
#pragma once

#include "platform/opengl.h"
#include "scene/draw_scene.h"
#include "scene/scene_state.h"
#include "window/scene_window.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sceneState = SceneState{};
    ASSERT_TRUE(CreateSceneWindow("OpenGL Test", 640, 480, 16));
  }
  void TearDown() override { DestroySceneWindow(); }

  static std::array<GLfloat, 4> Light(GLenum parameter) {
    std::array<GLfloat, 4> value{};
    glGetLightfv(GL_LIGHT1, parameter, value.data());
    return value;
  }

  static std::array<GLfloat, 16> Matrix(GLenum which) {
    std::array<GLfloat, 16> value{};
    glGetFloatv(which, value.data());
    return value;
  }
};

// Pictures of the scene, read back from the frame drawn.
constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
  std::vector<GLubyte> rgb;
  int Brightness(int x, int y) const {
    const size_t at = 3 * (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x));
    return rgb[at] + rgb[at + 1] + rgb[at + 2];
  }
};

// Where a point of the unturned grid, sitting 6.5 units away, lands on
// screen, from the 45-degree projection worked out by hand.
struct Pixel {
  int x;
  int y;
};
inline Pixel ScreenOf(double gridX, double gridY) {
  const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
  const double aspect = static_cast<double>(kWidth) / kHeight;
  return Pixel{static_cast<int>(std::lround(kWidth / 2.0 * (1.0 + f / aspect * gridX / 6.5))),
               static_cast<int>(std::lround(kHeight / 2.0 * (1.0 + f * gridY / 6.5)))};
}
inline Pixel CentreOf(int sphere) {
  return ScreenOf(-2 + sphere % kColumns, 2 - sphere / kColumns);
}

// Draws one frame of the unturned grid and reads it back.
inline Frame DrawUnturned() {
  sceneState.rotX = 0.0f;
  sceneState.rotY = 0.0f;
  DrawScene();
  Frame frame{std::vector<GLubyte>(3u * kWidth * kHeight)};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
  return frame;
}
