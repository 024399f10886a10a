// Everything the picture depends on: sphere sizes from MIDI notes, the light
// from MIDI controllers, the sphere meshes and the grid's rotation.
// One instance, sceneState, with static storage; only the main thread uses it.
#pragma once

#include "platform/opengl.h"

#include <array>
#include <cstdint>

constexpr int kSphereCount = 25;  // one sphere per note
constexpr int kFirstNote = 48;    // sphere i stands for note kFirstNote + i
constexpr int kColumns = 5;       // spheres per row; as many rows

struct SceneState {
  // Null means: draw nothing for this sphere.
  std::array<GLUquadric*, kSphereCount> quadrics{};
  // Velocity (0 to 127) of the last note-on for note kFirstNote + i.
  std::array<std::int32_t, kSphereCount> levels{};
  // Light 1, each array handed whole to glLightfv.
  std::array<GLfloat, 4> lightAmbient{0.8f, 0.5f, 0.3f, 0.7f};
  std::array<GLfloat, 4> lightDiffuse{0.6f, 0.8f, 1.0f, 1.0f};
  // w = 0: a directional light shining from (x, y, z).
  std::array<GLfloat, 4> lightPosition{2.0f, 2.0f, 2.0f, 0.0f};
  // Rotation of the grid in degrees, and its step per frame.
  GLfloat rotX = 0.0f;
  GLfloat rotY = 0.0f;
  GLfloat rotXStep = 0.04f;
  GLfloat rotYStep = 0.05f;
};

extern SceneState sceneState;
