#include "midi/apply_midi_event.h"

#include "scene/scene_state.h"

namespace {

constexpr int kNoteOn = 0x90;
constexpr int kControlChange = 0xB0;
constexpr int kMaxDataByte = 0x7F;

void ApplyNoteOn(int note, int velocity) {
  const int sphere = note - kFirstNote;
  if (sphere < 0 || sphere >= kSphereCount) {
    return;
  }
  sceneState.levels[sphere] = velocity;
}

void ApplyControlChange(int controller, int value) {
  const double v = value / 127.0;
  const double w = v * 4.0 - 2.0;
  switch (controller) {
    case 1: sceneState.lightPosition[1] = static_cast<GLfloat>(w); break;
    case 7: sceneState.lightPosition[0] = static_cast<GLfloat>(w); break;
    case 11: sceneState.lightDiffuse[0] = static_cast<GLfloat>(v); break;
    case 12: sceneState.lightDiffuse[1] = static_cast<GLfloat>(v); break;
    case 13: sceneState.lightDiffuse[2] = static_cast<GLfloat>(v); break;
    case 15: sceneState.lightAmbient[0] = static_cast<GLfloat>(v); break;
    case 16: sceneState.lightAmbient[1] = static_cast<GLfloat>(v); break;
    case 17: sceneState.lightAmbient[2] = static_cast<GLfloat>(v); break;
    default: break;
  }
  glLightfv(GL_LIGHT1, GL_AMBIENT, sceneState.lightAmbient.data());
  glLightfv(GL_LIGHT1, GL_DIFFUSE, sceneState.lightDiffuse.data());
  glLightfv(GL_LIGHT1, GL_POSITION, sceneState.lightPosition.data());
}

}  // namespace

void ApplyMidiEvent(const PmEvent* event) {
  const int status = Pm_MessageStatus(event->message);
  const int data1 = Pm_MessageData1(event->message);
  const int data2 = Pm_MessageData2(event->message);
  // The masks let bytes of 0x80 and up through; they are no MIDI data and
  // would push levels and light values out of range.
  if (data1 > kMaxDataByte || data2 > kMaxDataByte) {
    return;
  }
  if (status == kNoteOn) {
    ApplyNoteOn(data1, data2);
  } else if (status == kControlChange) {
    ApplyControlChange(data1, data2);
  }
}
