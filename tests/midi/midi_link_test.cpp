// The MIDI link against the MIDI library's test double: opening and draining,
// MIDI thru, the queue limit and closing; a failing call ends the process as
// a user at a terminal sees it.
#include "midi/midi_link.h"
#include "call_log.h"
#include "child_process.h"
#include "fake_portmidi.h"
#include "midi_failure_text.h"
#include "scene/scene_state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

using Log = std::vector<std::string>;

PmMessage NoteOn(int note, int velocity, int channel = 0) {
  return Pm_Message(0x90 | channel, note, velocity);
}

class MidiLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_midi::Reset();
    fake_midi::SetClock(4321);
    sceneState.levels.fill(0);
  }

  void Open() {
    OpenMidiPorts(&link);
    CallLog().clear();
  }

  MidiLink link;
};

// In a child, prints the calls the double saw once the process exits.
void PrintCallsAtExit() {
  std::atexit([] {
    for (const std::string& call : CallLog()) std::printf("%s\n", call.c_str());
  });
}

TEST_F(MidiLinkTest, OpensOutputThenInputWithTheFixedSettings) {
  OpenMidiPorts(&link);
  EXPECT_EQ(CallLog(), (Log{"Pm_Initialize", "Pt_Start(1, null)",
                            "Pm_OpenOutput(0, null, 0, clock=4321, null, 0)", "Pm_CountDevices",
                            "Pm_OpenInput(1, null, 100, clock=4321, null)", "Pm_SetFilter(in)",
                            "Pm_GetDeviceInfo(0)", "Pm_GetDeviceInfo(1)", "Pm_Poll(in)"}));
  EXPECT_EQ(link.midiIn, fake_midi::InputStream());
  EXPECT_EQ(link.midiOut, fake_midi::OutputStream());
}

TEST_F(MidiLinkTest, FiltersExactlyActiveSensingAndTimingClock) {
  Open();
  EXPECT_EQ(fake_midi::Filter(), PM_FILT_ACTIVE | PM_FILT_CLOCK);
  for (PmMessage message : {0xFE, 0xF8, 0xFA, 0xFC, 0xFB, 0xF0}) fake_midi::Play(message);
  PumpMidi(&link);
  // Start, stop, continue and system exclusive pass.
  ASSERT_EQ(fake_midi::Written().size(), 4u);
  EXPECT_EQ(fake_midi::Written()[0].message, 0xFA);
  EXPECT_EQ(fake_midi::Written()[1].message, 0xFC);
  EXPECT_EQ(fake_midi::Written()[2].message, 0xFB);
  EXPECT_EQ(fake_midi::Written()[3].message, 0xF0);
}

TEST_F(MidiLinkTest, DropsWhatArrivedWhileTheStreamsWereOpening) {
  fake_midi::Play(NoteOn(60, 100));
  fake_midi::Play(NoteOn(61, 90));
  OpenMidiPorts(&link);
  EXPECT_EQ(fake_midi::Pending(), 0);
  PumpMidi(&link);
  EXPECT_TRUE(fake_midi::Written().empty());
  EXPECT_EQ(sceneState.levels[12], 0);
  EXPECT_EQ(sceneState.levels[13], 0);
}

TEST_F(MidiLinkTest, EchoesEveryEventUnchangedBeforeApplyingIt) {
  Open();
  std::vector<int> levelWhenWritten;
  fake_midi::OnWrite([&](const PmEvent&) { levelWhenWritten.push_back(sceneState.levels[12]); });
  fake_midi::Play(NoteOn(60, 100), 17);
  fake_midi::Play(Pm_Message(0xE3, 0x00, 0x40), -5);
  PumpMidi(&link);
  ASSERT_EQ(fake_midi::Written().size(), 2u);
  EXPECT_EQ(fake_midi::Written()[0].message, NoteOn(60, 100));
  EXPECT_EQ(fake_midi::Written()[0].timestamp, 17);
  EXPECT_EQ(fake_midi::Written()[1].message, Pm_Message(0xE3, 0x00, 0x40));
  EXPECT_EQ(fake_midi::Written()[1].timestamp, -5);
  EXPECT_EQ(levelWhenWritten, (std::vector<int>{0, 100}));
  EXPECT_EQ(sceneState.levels[12], 100);
  EXPECT_EQ(CallLog(),
            (Log{"Pm_Poll(in)", "Pm_Read(in, 1)", "Pm_Write(out, 1)", "Pm_Poll(in)",
                 "Pm_Read(in, 1)", "Pm_Write(out, 1)", "Pm_Poll(in)", "Pm_Read(in, 1)"}));
}

TEST_F(MidiLinkTest, EchoesUnchangedWhatTheSceneIgnores) {
  Open();
  const PmMessage outside = NoteOn(30, 100);
  const PmMessage notData = NoteOn(60, 0x80);
  const PmMessage badController = Pm_Message(0xB0, 11, 0xFF);
  for (PmMessage message : {outside, notData, badController}) fake_midi::Play(message);
  PumpMidi(&link);
  ASSERT_EQ(fake_midi::Written().size(), 3u);
  EXPECT_EQ(fake_midi::Written()[0].message, outside);
  EXPECT_EQ(fake_midi::Written()[1].message, notData);
  EXPECT_EQ(fake_midi::Written()[2].message, badController);
  EXPECT_EQ(sceneState.levels[12], 0);
  EXPECT_FLOAT_EQ(sceneState.lightDiffuse[0], SceneState{}.lightDiffuse[0]);
}

TEST_F(MidiLinkTest, SystemExclusiveIsEchoedEventByEventAndLeavesTheSceneAlone) {
  Open();
  // F0 7D 30 3C 7F 01 02 F7: a run of events of up to four bytes each.
  const std::vector<PmMessage> run{0x3C307DF0, 0x0201 << 16 | 0x7F << 8 | 0x3C >> 8, 0xF7};
  const SceneState before = sceneState;
  for (PmMessage message : run) fake_midi::Play(message);
  PumpMidi(&link);
  ASSERT_EQ(fake_midi::Written().size(), run.size());
  for (size_t i = 0; i < run.size(); ++i) EXPECT_EQ(fake_midi::Written()[i].message, run[i]);
  EXPECT_EQ(sceneState.levels, before.levels);
  EXPECT_EQ(sceneState.lightPosition, before.lightPosition);
}

TEST_F(MidiLinkTest, HundredPendingEventsAreAllEchoedAndApplied) {
  Open();
  for (int i = 0; i < kMidiInputQueueSize; ++i)
    fake_midi::Play(NoteOn(kFirstNote + i % kSphereCount, i));
  PumpMidi(&link);
  ASSERT_EQ(fake_midi::Written().size(), 100u);
  EXPECT_EQ(fake_midi::Written()[99].message, NoteOn(kFirstNote + 99 % kSphereCount, 99));
  for (int sphere = 0; sphere < kSphereCount; ++sphere) {
    EXPECT_EQ(sceneState.levels[sphere], 75 + sphere);
  }
}

TEST_F(MidiLinkTest, OneEventOverAHundredEndsTheProcessOnceTheHundredAreEchoed) {
  const ChildRun run = RunInChild(
      [] {
        MidiLink childLink;
        OpenMidiPorts(&childLink);
        for (int i = 1; i <= kMidiInputQueueSize + 1; ++i) fake_midi::Play(NoteOn(60, i));
        fake_midi::OnWrite(
            [](const PmEvent& event) { std::printf("%d ", Pm_MessageData2(event.message)); });
        PumpMidi(&childLink);
        std::printf("returned");
      },
      kPrompt, "\n");
  std::string echoed;
  for (int i = 1; i <= kMidiInputQueueSize; ++i) echoed += std::to_string(i) + " ";
  EXPECT_EQ(run.output, echoed + FailureText(pmBufferOverflow));
  EXPECT_EQ(run.exitStatus, 255);
}

TEST_F(MidiLinkTest, ClosesInputThenOutputThenTheLibrary) {
  Open();
  CloseMidiPorts(&link);
  EXPECT_EQ(CallLog(), (Log{"Pm_Close(in)", "Pm_Close(out)", "Pm_Terminate"}));
}

TEST_F(MidiLinkTest, AFailingOutputEndsTheProcessBeforeTheInputIsTried) {
  const ChildRun run = RunInChild(
      [] {
        PrintCallsAtExit();
        MidiLink childLink;
        fake_midi::FailCall("Pm_OpenOutput", pmInvalidDeviceId);
        OpenMidiPorts(&childLink);
      },
      kPrompt, "\n");
  EXPECT_EQ(run.output, FailureText(pmInvalidDeviceId) +
                            "Pm_Initialize\nPt_Start(1, null)\nPm_OpenOutput(0, null, 0, "
                            "clock=4321, null, 0)\n");
  EXPECT_EQ(run.exitStatus, 255);
}

// Output 0 and input 1 as the library names them: only where they are the
// two ends of one Midi Through port does the output loop back, and there
// nothing is echoed, while the picture still follows.
TEST_F(MidiLinkTest, EchoesUnlessOutputAndInputAreTheEndsOfMidiThrough) {
  const struct {
    const char* output;
    const char* input;
    const char* interf;
    bool echoed;
  } kPairs[] = {{"VirMIDI 0-0", "VirMIDI 0-0", "ALSA", true},
                {"Midi Through Port-0", "Midi Through Port-0", "ALSA", false},
                {"Midi Through Port-0", "Midi Through Port-1", "ALSA", true},
                {"Midi Through Port-0:A", "Midi Through Port-0:A", "ALSA", true},
                {"Midi Through Port-0", "Midi Through Port-0", "MMSystem", true}};
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(std::string(pair.input) + " " + pair.interf);
    fake_midi::Reset();
    fake_midi::NameDevices({pair.output, pair.input}, pair.interf);
    sceneState.levels[12] = 0;
    MidiLink pairLink;
    OpenMidiPorts(&pairLink);
    fake_midi::Play(NoteOn(60, 100));
    PumpMidi(&pairLink);
    EXPECT_EQ(fake_midi::Wire().size(), pair.echoed ? 3u : 0u);
    EXPECT_EQ(sceneState.levels[12], 100);
  }
}

// Device tables where input 1 cannot be opened: none at all, a lone output
// (a synthesiser's input port, say), and two outputs. Release 2 of the
// library would read past the end of the table for the lone output; the
// program must not ask it to.
class MidiDeviceTableTest : public ::testing::TestWithParam<std::vector<bool>> {};

TEST_P(MidiDeviceTableTest, WithoutAnInputOneTheProcessEndsWithTheLibrarysText) {
  const std::vector<bool> devices = GetParam();
  const ChildRun run = RunInChild(
      [devices] {
        fake_midi::Reset();
        fake_midi::SetDevices(devices);
        MidiLink childLink;
        OpenMidiPorts(&childLink);
        std::printf("opened");
      },
      kPrompt, "\n");
  EXPECT_EQ(run.output, FailureText(pmInvalidDeviceId));
  EXPECT_EQ(run.exitStatus, 255);
}

std::string TableName(const ::testing::TestParamInfo<std::vector<bool>>& table) {
  static constexpr const char* kNames[] = {"NoDevices", "OneOutput", "TwoOutputs"};
  return kNames[table.index];
}

INSTANTIATE_TEST_SUITE_P(Tables, MidiDeviceTableTest,
                         ::testing::Values(std::vector<bool>{}, std::vector<bool>{false},
                                           std::vector<bool>{false, false}),
                         TableName);

TEST_F(MidiLinkTest, AnInputPastTheEndOfTheTableIsNeverOpened) {
  const ChildRun run = RunInChild(
      [] {
        PrintCallsAtExit();
        fake_midi::SetDevices({false});
        MidiLink childLink;
        OpenMidiPorts(&childLink);
      },
      kPrompt, "\n");
  EXPECT_EQ(run.output, FailureText(pmInvalidDeviceId) +
                            "Pm_Initialize\nPt_Start(1, null)\nPm_OpenOutput(0, null, 0, "
                            "clock=4321, null, 0)\nPm_CountDevices\n");
  EXPECT_EQ(run.exitStatus, 255);
}

TEST_F(MidiLinkTest, AFailingEchoEndsTheProcessBeforeTheSceneChanges) {
  const ChildRun run = RunInChild(
      [] {
        std::atexit([] { std::printf("level %d\n", sceneState.levels[12]); });
        MidiLink childLink;
        OpenMidiPorts(&childLink);
        fake_midi::FailCall("Pm_Write", pmBadPtr);
        fake_midi::Play(NoteOn(60, 100));
        PumpMidi(&childLink);
      },
      kPrompt, "\n");
  EXPECT_EQ(run.output, FailureText(pmBadPtr) + "level 0\n");
  EXPECT_EQ(run.exitStatus, 255);
}

TEST_F(MidiLinkTest, EveryCheckedCallEndsTheProcessWhenItFails) {
  for (const char* function : {"Pm_OpenInput", "Pm_SetFilter", "Pm_Poll", "Pm_Read", "Pm_Close"}) {
    SCOPED_TRACE(function);
    const ChildRun run = RunInChild(
        [function] {
          MidiLink childLink;
          fake_midi::FailCall(function, pmInsufficientMemory, 2);
          fake_midi::FailCall(function, pmInsufficientMemory, 1);
          OpenMidiPorts(&childLink);
          fake_midi::Play(NoteOn(60, 100));
          PumpMidi(&childLink);
          CloseMidiPorts(&childLink);
        },
        kPrompt, "\n");
    EXPECT_EQ(run.output.rfind("PortMidi call failed...\n", 0), 0u) << run.output;
    EXPECT_EQ(run.exitStatus, 255);
  }
}

}  // namespace
