// orbwell-midi: live MIDI turned into a turning grid of lit spheres, with
// every event from MIDI input 1 passed straight through to MIDI output 0.
//
// One loop on one thread: a pending window message always goes first; only
// when the queue is empty are the waiting MIDI events echoed and applied, and
// a frame drawn and presented. Escape or the close button ends the loop; the
// MIDI ports are closed before the window goes.

#include "midi/midi_link.h"
#include "platform/platform.h"
#include "scene/draw_scene.h"
#include "scene/scene_state.h"
#include "window/scene_window.h"

namespace {

constexpr char kTitle[] = "OpenGL Test";
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kColourBits = 16;

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  bool done = false;
  MSG msg{};
  MidiLink link;

  sceneState.levels.fill(0);
  if (!CreateSceneWindow(kTitle, kWidth, kHeight, kColourBits)) {
    return 0;
  }
  OpenMidiPorts(&link);

  while (!done) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        done = true;
      } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    } else {
      PumpMidi(&link);
      DrawScene();
      SwapBuffers(windowState.hDC);
    }
  }

  CloseMidiPorts(&link);
  DestroySceneWindow();
  return static_cast<int>(msg.wParam);
}
