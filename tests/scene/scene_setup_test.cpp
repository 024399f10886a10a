// The OpenGL state the window's creation leaves behind, read back from the
// real context.
#include "scene/scene_setup.h"
#include "scene_fixture.h"

#include <algorithm>
#include <cmath>

namespace {

using SceneSetupTest = SceneTest;

// gluPerspective's matrix, column by column, worked out by hand.
std::array<GLfloat, 16> Perspective(double fovY, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovY * M_PI / 360.0);
  std::array<GLfloat, 16> m{};
  m[0] = static_cast<GLfloat>(f / aspect);
  m[5] = static_cast<GLfloat>(f);
  m[10] = static_cast<GLfloat>((zFar + zNear) / (zNear - zFar));
  m[11] = -1.0f;
  m[14] = static_cast<GLfloat>(2.0 * zFar * zNear / (zNear - zFar));
  return m;
}

void ExpectMatrixNear(const std::array<GLfloat, 16>& actual,
                      const std::array<GLfloat, 16>& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

TEST_F(SceneSetupTest, ProjectionIsA45DegreePerspectiveForTheClientSize) {
  ExpectMatrixNear(Matrix(GL_PROJECTION_MATRIX), Perspective(45.0, 640.0 / 480.0, 0.1f, 100.0));
  std::array<GLint, 4> viewport{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 640, 480}));
}

TEST_F(SceneSetupTest, AHeightOfZeroCountsAsOne) {
  ResizeScene(640, 0);
  ExpectMatrixNear(Matrix(GL_PROJECTION_MATRIX), Perspective(45.0, 640.0, 0.1f, 100.0));
  std::array<GLint, 4> viewport{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 640, 1}));
}

TEST_F(SceneSetupTest, ModelviewIsIdentityAndCurrent) {
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  ExpectMatrixNear(Matrix(GL_MODELVIEW_MATRIX), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

TEST_F(SceneSetupTest, DepthTestLightingAndOnlyLightOneAreOn) {
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint depthFunc = 0, shadeModel = 0, hint = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  glGetIntegerv(GL_SHADE_MODEL, &shadeModel);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
  EXPECT_EQ(depthFunc, GL_LEQUAL);
  EXPECT_EQ(shadeModel, GL_SMOOTH);
  EXPECT_EQ(hint, GL_NICEST);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(Light(GL_AMBIENT), (std::array<GLfloat, 4>{0.8f, 0.5f, 0.3f, 0.7f}));
  EXPECT_EQ(Light(GL_DIFFUSE), (std::array<GLfloat, 4>{0.6f, 0.8f, 1.0f, 1.0f}));
  EXPECT_EQ(Light(GL_POSITION), (std::array<GLfloat, 4>{2.0f, 2.0f, 2.0f, 0.0f}));
}

TEST_F(SceneSetupTest, ClearsToBlackAndMakesTwentyFiveQuadrics) {
  std::array<GLfloat, 4> clear{};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
  EXPECT_EQ(clear, (std::array<GLfloat, 4>{0.0f, 0.0f, 0.0f, 0.5f}));
  GLfloat depth = 0.0f;
  glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
  EXPECT_EQ(depth, 1.0f);
  EXPECT_EQ(std::count(sceneState.quadrics.begin(), sceneState.quadrics.end(), nullptr), 0);
}

}  // namespace
