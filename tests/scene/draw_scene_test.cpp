// The sphere grid as it lands in the frame buffer of a real Mesa context.
#include "scene/draw_scene.h"
#include "scene_fixture.h"

#include <vector>

namespace {

// The width of the lit run through a sphere's centre, in pixels.
int FootprintWidth(const Frame& frame, int sphere) {
  const Pixel centre = CentreOf(sphere);
  int left = centre.x;
  int right = centre.x;
  while (left > 0 && frame.Brightness(left - 1, centre.y) > 0) --left;
  while (right < kWidth - 1 && frame.Brightness(right + 1, centre.y) > 0) ++right;
  return right - left + 1;
}

using DrawSceneTest = SceneTest;

TEST_F(DrawSceneTest, AtLevelZeroEverySphereCentreIsLitAndTheGapsAreBackground) {
  const Frame frame = DrawUnturned();
  for (int sphere = 0; sphere < kSphereCount; ++sphere) {
    const Pixel centre = CentreOf(sphere);
    EXPECT_GT(frame.Brightness(centre.x, centre.y), 60) << "sphere " << sphere;
    const Pixel gap = ScreenOf(-2 + sphere % kColumns + 0.5, 2 - sphere / kColumns - 0.5);
    EXPECT_EQ(frame.Brightness(gap.x, gap.y), 0) << "gap after sphere " << sphere;
  }
}

TEST_F(DrawSceneTest, Level127DoublesTheSpheresFootprint) {
  const int small = FootprintWidth(DrawUnturned(), 12);
  sceneState.levels[12] = 127;
  const Frame frame = DrawUnturned();
  const int large = FootprintWidth(frame, 12);
  EXPECT_NEAR(static_cast<double>(large) / small, 2.0, 0.15) << small << " -> " << large;
  EXPECT_EQ(FootprintWidth(frame, 11), small) << "its neighbour changed";
}

TEST_F(DrawSceneTest, AMissingQuadricLeavesItsCellDarkAndMovesNoOtherSphere) {
  const Frame whole = DrawUnturned();
  GLUquadric* kept = sceneState.quadrics[7];
  sceneState.quadrics[7] = nullptr;
  const Frame holed = DrawUnturned();
  sceneState.quadrics[7] = kept;
  const Pixel hole = CentreOf(7);
  EXPECT_EQ(holed.Brightness(hole.x, hole.y), 0);
  const int cell = (CentreOf(1).x - CentreOf(0).x) / 2;
  int differing = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inHole = std::abs(x - hole.x) < cell && std::abs(y - hole.y) < cell;
      if (!inHole && whole.Brightness(x, y) != holed.Brightness(x, y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(DrawSceneTest, LeavesTheModelviewMatrixAtIdentity) {
  DrawScene();
  const std::array<GLfloat, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), identity);
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

TEST_F(DrawSceneTest, AHundredFramesTurnTheGridByFourAndFiveDegrees) {
  for (int frame = 0; frame < 100; ++frame) DrawScene();
  EXPECT_NEAR(sceneState.rotX, 4.0f, 1e-3);
  EXPECT_NEAR(sceneState.rotY, 5.0f, 1e-3);
}

// Sets both angles and draws one frame from there.
void DrawFromAngle(GLfloat angle) {
  sceneState.rotX = angle;
  sceneState.rotY = angle;
  DrawScene();
}

TEST_F(DrawSceneTest, AnglesStayBelowAFullTurn) {
  DrawFromAngle(359.98f);
  EXPECT_NEAR(sceneState.rotX, 0.02f, 1e-3);
  EXPECT_NEAR(sceneState.rotY, 0.03f, 1e-3);
}

TEST_F(DrawSceneTest, TheGridKeepsItsSpeedAfterALongRun) {
  // 2^18 degrees: where an angle that only grows can no longer take the step.
  DrawFromAngle(262144.0f);
  const std::array<GLfloat, 2> start{sceneState.rotX, sceneState.rotY};
  // The angles are what is checked, not the spheres: frames without them
  // (null quadrics draw nothing) keep the run short where OpenGL is slow.
  const auto quadrics = sceneState.quadrics;
  sceneState.quadrics.fill(nullptr);
  for (int frame = 0; frame < 500; ++frame) DrawScene();
  sceneState.quadrics = quadrics;
  EXPECT_NEAR(sceneState.rotX - start[0], 20.0f, 0.01f);
  EXPECT_NEAR(sceneState.rotY - start[1], 25.0f, 0.01f);
}

}  // namespace
