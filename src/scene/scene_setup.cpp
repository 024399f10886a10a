#include "scene/scene_setup.h"

#include "scene/scene_state.h"

namespace {

constexpr GLdouble kFieldOfViewDegrees = 45.0;
constexpr GLfloat kNearPlane = 0.1f;
constexpr GLdouble kFarPlane = 100.0;

}  // namespace

void ResizeScene(int width, int height) {
  if (height == 0) {
    height = 1;
  }
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfViewDegrees, static_cast<GLdouble>(width) / static_cast<GLdouble>(height),
                 kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool SetUpScene() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glLightfv(GL_LIGHT1, GL_AMBIENT, sceneState.lightAmbient.data());
  glLightfv(GL_LIGHT1, GL_DIFFUSE, sceneState.lightDiffuse.data());
  glLightfv(GL_LIGHT1, GL_POSITION, sceneState.lightPosition.data());
  glEnable(GL_LIGHT1);
  for (GLUquadric*& quadric : sceneState.quadrics) {
    quadric = gluNewQuadric();
    if (quadric != nullptr) {
      gluQuadricNormals(quadric, GLU_SMOOTH);
      gluQuadricTexture(quadric, GL_TRUE);
    }
  }
  glEnable(GL_LIGHTING);
  return true;
}
