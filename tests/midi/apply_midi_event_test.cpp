// What MIDI messages do to the scene, and that the light reaches OpenGL.
#include "midi/apply_midi_event.h"
#include "scene_fixture.h"

namespace {

void Send(int status, int data1, int data2) {
  const PmEvent event{Pm_Message(status, data1, data2), 0};
  ApplyMidiEvent(&event);
}

using ApplyMidiEventTest = SceneTest;

TEST_F(ApplyMidiEventTest, BeforeAnyInputTheSceneHasItsInitialValues) {
  EXPECT_EQ(sceneState.levels, (std::array<std::int32_t, kSphereCount>{}));
  EXPECT_EQ(Light(GL_AMBIENT), (std::array<GLfloat, 4>{0.8f, 0.5f, 0.3f, 0.7f}));
  EXPECT_EQ(Light(GL_DIFFUSE), (std::array<GLfloat, 4>{0.6f, 0.8f, 1.0f, 1.0f}));
  EXPECT_EQ(Light(GL_POSITION), (std::array<GLfloat, 4>{2.0f, 2.0f, 2.0f, 0.0f}));
}

TEST_F(ApplyMidiEventTest, NoteOnSetsItsSpheresLevelAndVelocityZeroResetsIt) {
  Send(0x90, 60, 100);
  EXPECT_EQ(sceneState.levels[12], 100);
  Send(0x90, 60, 0);
  EXPECT_EQ(sceneState.levels[12], 0);
}

TEST_F(ApplyMidiEventTest, Notes48And72AreTheFirstAndLastSpheres) {
  Send(0x90, 48, 1);
  Send(0x90, 72, 127);
  EXPECT_EQ(sceneState.levels[0], 1);
  EXPECT_EQ(sceneState.levels[24], 127);
}

TEST_F(ApplyMidiEventTest, OtherChannelsNoteOffAndOtherMessagesChangeNothing) {
  Send(0x90, 60, 100);
  Send(0x91, 60, 50);
  Send(0x80, 60, 0);
  Send(0x9F, 61, 50);
  Send(0xB1, 11, 0);
  Send(0xA0, 60, 10);
  Send(0xE0, 0, 0);
  SceneState expected{};
  expected.levels[12] = 100;
  EXPECT_EQ(sceneState.levels, expected.levels);
  EXPECT_EQ(sceneState.lightDiffuse, expected.lightDiffuse);
}

TEST_F(ApplyMidiEventTest, NotesOutsideTheGridChangeNothing) {
  const SceneState before = sceneState;
  for (int note : {0, 47, 73, 127}) Send(0x90, note, 99);
  EXPECT_EQ(sceneState.levels, before.levels);
  // What lies beyond the level table in memory stays intact too.
  EXPECT_EQ(sceneState.lightAmbient, before.lightAmbient);
  EXPECT_EQ(Light(GL_AMBIENT), before.lightAmbient);
}

TEST_F(ApplyMidiEventTest, BytesThatAreNoMidiDataChangeNothing) {
  const SceneState before = sceneState;
  Send(0x90, 60, 0x80);
  Send(0x90, 60, 0xFF);
  Send(0x90, 0x80 | 60, 100);
  Send(0xB0, 11, 0xFF);
  Send(0xB0, 0x80 | 11, 0);
  Send(0xB0, 0x80 | 7, 127);
  EXPECT_EQ(sceneState.levels, before.levels);
  EXPECT_EQ(sceneState.lightDiffuse, before.lightDiffuse);
  EXPECT_EQ(sceneState.lightPosition, before.lightPosition);
}

struct ControllerCase {
  int controller;
  int value;
  GLenum parameter;
  int index;
  GLfloat expected;
};

class ControllerTableTest : public SceneTest,
                            public ::testing::WithParamInterface<ControllerCase> {};

TEST_P(ControllerTableTest, SetsItsFieldAndOpenGLGetsIt) {
  const ControllerCase& c = GetParam();
  Send(0xB0, c.controller, c.value);
  std::array<GLfloat, 4>& field = c.parameter == GL_AMBIENT   ? sceneState.lightAmbient
                                  : c.parameter == GL_DIFFUSE ? sceneState.lightDiffuse
                                                              : sceneState.lightPosition;
  EXPECT_NEAR(field[c.index], c.expected, 1e-4);
  EXPECT_EQ(Light(c.parameter), field);
}

INSTANTIATE_TEST_SUITE_P(Controllers, ControllerTableTest,
                         ::testing::Values(ControllerCase{1, 127, GL_POSITION, 1, 2.0f},
                                           ControllerCase{1, 0, GL_POSITION, 1, -2.0f},
                                           ControllerCase{7, 127, GL_POSITION, 0, 2.0f},
                                           ControllerCase{7, 0, GL_POSITION, 0, -2.0f},
                                           ControllerCase{7, 64, GL_POSITION, 0, 0.0157480f},
                                           ControllerCase{11, 127, GL_DIFFUSE, 0, 1.0f},
                                           ControllerCase{12, 0, GL_DIFFUSE, 1, 0.0f},
                                           ControllerCase{13, 64, GL_DIFFUSE, 2, 0.5039370f},
                                           ControllerCase{15, 0, GL_AMBIENT, 0, 0.0f},
                                           ControllerCase{16, 127, GL_AMBIENT, 1, 1.0f},
                                           ControllerCase{17, 32, GL_AMBIENT, 2, 0.2519685f}),
                         [](const ::testing::TestParamInfo<ControllerCase>& test) {
                           return "Controller" + std::to_string(test.param.controller) + "Value" +
                                  std::to_string(test.param.value);
                         });

TEST_F(ApplyMidiEventTest, AnyControlChangeResendsAllThreeLightParameters) {
  // Values OpenGL has not been told yet: only a re-send can bring them there.
  sceneState.lightAmbient = {0.1f, 0.2f, 0.3f, 0.7f};
  sceneState.lightDiffuse = {0.4f, 0.5f, 0.6f, 1.0f};
  sceneState.lightPosition = {-1.0f, 0.5f, 2.0f, 0.0f};
  Send(0xB0, 2, 64);
  EXPECT_EQ(Light(GL_AMBIENT), sceneState.lightAmbient);
  EXPECT_EQ(Light(GL_DIFFUSE), sceneState.lightDiffuse);
  EXPECT_EQ(Light(GL_POSITION), sceneState.lightPosition);
}

TEST_F(ApplyMidiEventTest, ANoteOnLeavesOpenGLAlone) {
  sceneState.lightDiffuse = {0.4f, 0.5f, 0.6f, 1.0f};
  Send(0x90, 60, 64);
  EXPECT_EQ(Light(GL_DIFFUSE), SceneState{}.lightDiffuse);
}

TEST_F(ApplyMidiEventTest, ABlackDiffuseColourFromMidiDarkensTheLitSpheres) {
  const Pixel centre = CentreOf(12);
  const int before = DrawUnturned().Brightness(centre.x, centre.y);
  for (int controller : {11, 12, 13}) {
    const PmEvent event{Pm_Message(0xB0, controller, 0), 0};
    ApplyMidiEvent(&event);
  }
  const int after = DrawUnturned().Brightness(centre.x, centre.y);
  EXPECT_GT(after, 0);
  EXPECT_LT(after, before / 2) << before << " -> " << after;
}

}  // namespace
