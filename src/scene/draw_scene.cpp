#include "scene/draw_scene.h"

#include "scene/scene_state.h"

#include <cmath>

namespace {

constexpr GLfloat kGridDistance = 6.5f;
constexpr GLdouble kBaseRadius = 0.2;
constexpr GLdouble kMaxLevel = 127.0;
constexpr GLint kSlices = 32;
constexpr GLint kStacks = 32;
constexpr GLfloat kFullTurn = 360.0f;

// A float angle that only grows loses its small step: near 2^18 degrees the
// step rounds to another value, later to nothing, and the grid stops. The
// picture is the same modulo a full turn, so keep the angle small.
GLfloat AdvanceAngle(GLfloat angle, GLfloat step) { return std::fmod(angle + step, kFullTurn); }

}  // namespace

bool DrawScene() {
  constexpr GLfloat half = (kColumns - 1) / 2.0f;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -kGridDistance);
  glRotatef(sceneState.rotX, 1.0f, 0.0f, 0.0f);
  glRotatef(sceneState.rotY, 0.0f, 1.0f, 0.0f);
  glTranslatef(-half, half, 0.0f);
  glPushMatrix();
  glColor3f(1.0f, 1.0f, 1.0f);
  for (int i = 0; i < kSphereCount; ++i) {
    if (sceneState.quadrics[i] != nullptr) {
      const GLdouble radius = sceneState.levels[i] * kBaseRadius / kMaxLevel + kBaseRadius;
      gluSphere(sceneState.quadrics[i], radius, kSlices, kStacks);
    }
    // Also for a missing sphere, so the grid keeps its shape.
    glTranslatef(1.0f, 0.0f, 0.0f);
    if ((i + 1) % kColumns == 0) {
      glTranslatef(-static_cast<GLfloat>(kColumns), -1.0f, 0.0f);
    }
  }
  glPopMatrix();
  sceneState.rotX = AdvanceAngle(sceneState.rotX, sceneState.rotXStep);
  sceneState.rotY = AdvanceAngle(sceneState.rotY, sceneState.rotYStep);
  glPopMatrix();
  return true;
}
