// A fresh scene in the program's own window: real SDL2 layer, real Mesa
// context, sceneState back at its initial values. Needs $DISPLAY.
#pragma once

#include "platform/opengl.h"
#include "scene/scene_state.h"
#include "window/scene_window.h"

#include <gtest/gtest.h>

#include <array>

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
