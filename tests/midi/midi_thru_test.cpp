// MIDI thru keeps the output a valid MIDI stream whatever the device sends:
// system-exclusive messages cut off by another status byte, real-time bytes
// inside them, one left open when the program quits. Against the MIDI
// library's test double, which reads input, refuses an invalid stream and
// sends bytes as the release the build uses does; where the releases differ,
// each test says what each one does.
#include "call_log.h"
#include "fake_portmidi.h"
#include "midi/midi_link.h"
#include "scene/scene_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Messages = std::vector<PmMessage>;
using Bytes = std::vector<int>;
constexpr PmMessage kEnd = 0xF7;

PmMessage Word(int b0, int b1, int b2, int b3) {
  return static_cast<PmMessage>(b0 | b1 << 8 | b2 << 16 | b3 << 24);
}

Messages WrittenMessages() {
  Messages messages;
  for (const PmEvent& event : fake_midi::Written()) messages.push_back(event.message);
  return messages;
}

class MidiThruTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_midi::Reset();
    sceneState.levels.fill(0);
    OpenMidiPorts(&link);
    CallLog().clear();
  }

  MidiLink link;
};

TEST_F(MidiThruTest, ANoteOnAfterACutOffMessageGoesOutAfterAnAddedEnd) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  fake_midi::Play(Pm_Message(0x90, 60, 100));  // cuts it off, and is lost
  fake_midi::Play(Pm_Message(0x90, 61, 90));
  PumpMidi(&link);
  EXPECT_EQ(WrittenMessages(), (Messages{Word(0xF0, 0x7D, 0x01, 0x02), Word(0x03, 0x04, 0x05, 0x06),
                                         kEnd, Pm_Message(0x90, 61, 90)}));
  EXPECT_FALSE(fake_midi::OutputInSysex());
  EXPECT_EQ(sceneState.levels[12], 0);
  EXPECT_EQ(sceneState.levels[13], 90);
}

TEST_F(MidiThruTest, AMessageCutOffWhileThePiecesArePumpedIsEndedAtTheNextStatus) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02});
  PumpMidi(&link);
  fake_midi::PlaySysex({0x03, 0x04, 0x05, 0x06});
  PumpMidi(&link);
  fake_midi::Play(Pm_Message(0xC0, 5, 0));  // a program change cuts it off
  fake_midi::Play(Pm_Message(0xC0, 6, 0));
  PumpMidi(&link);
  EXPECT_EQ(WrittenMessages(), (Messages{Word(0xF0, 0x7D, 0x01, 0x02), Word(0x03, 0x04, 0x05, 0x06),
                                         kEnd, Pm_Message(0xC0, 6, 0)}));
}

TEST_F(MidiThruTest, ANewStartEndsTheMessageItCutsOff) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  fake_midi::PlaySysex({0xF0, 0x7E, 0x01, kEnd});
  PumpMidi(&link);
  EXPECT_EQ(WrittenMessages(), (Messages{Word(0xF0, 0x7D, 0x01, 0x02), Word(0x03, 0x04, 0x05, 0x06),
                                         kEnd, Word(0xF0, 0x7E, 0x01, kEnd)}));
  EXPECT_FALSE(fake_midi::OutputInSysex());
}

TEST_F(MidiThruTest, RealTimeInsideSystemExclusiveGoesOutOnceWithNothingAdded) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02});
  fake_midi::Play(0xFA);  // the library packs it into the message
  fake_midi::PlaySysex({0x03, 0x04, 0x05, 0x06, 0x07});
  fake_midi::Play(0xFC);
  fake_midi::PlaySysex({0x08, kEnd});
  fake_midi::Play(0xFB);  // after the end: a message of its own
  PumpMidi(&link);
  // The event FA 03 04 05 cannot lead with FA: 03 goes ahead of it.
  EXPECT_EQ(fake_midi::Wire(), (Bytes{0xF0, 0x7D, 0x01, 0x02, 0x03, 0xFA, 0x04, 0x05, 0x06, 0x07,
                                      0xFC, 0x08, 0xF7, 0xFB}));
  EXPECT_FALSE(fake_midi::OutputInSysex());
}

TEST_F(MidiThruTest, RealTimeRightBeforeTheEndGoesOutRightAfterIt) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02});
  fake_midi::Play(0xFA);
  fake_midi::Play(0xFC);
  fake_midi::PlaySysex({kEnd});
  PumpMidi(&link);
  EXPECT_EQ(fake_midi::Wire(), (Bytes{0xF0, 0x7D, 0x01, 0x02, 0xF7, 0xFA, 0xFC}));
  EXPECT_FALSE(fake_midi::OutputInSysex());
}

TEST_F(MidiThruTest, FourRealTimeBytesInARowWaitForTheNextDataByte) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02});
  for (PmMessage realTime : {0xFA, 0xFB, 0xFC, 0xFF}) fake_midi::Play(realTime);
  PumpMidi(&link);
  EXPECT_EQ(fake_midi::Wire(), (Bytes{0xF0, 0x7D, 0x01, 0x02}));
  fake_midi::PlaySysex({0x03, 0x04, 0x05, 0x06, kEnd});
  PumpMidi(&link);
  EXPECT_EQ(fake_midi::Wire(),
            (Bytes{0xF0, 0x7D, 0x01, 0x02, 0x03, 0xFA, 0xFB, 0xFC, 0x04, 0xFF, 0x05, 0x06, 0xF7}));
}

// A status byte inside the pieces of a system-exclusive message (from
// software that sends the sequencer such pieces): release 217 packs it as a
// data byte, release 2 ends the message there and delivers the short
// message. Either way one F7 ends what went out, and the short message
// follows it.
TEST_F(MidiThruTest, AStatusByteInsideThePiecesEndsTheMessageWithOneF7) {
  fake_midi::PlaySysex({0xF0, 0x01, 0x02, 0x03, 0x04, 0x05});
  fake_midi::PlaySysex({0x06, 0x07, 0xB0, 0x07, 0x40, 0x08, kEnd});
  PumpMidi(&link);
  EXPECT_EQ(fake_midi::Wire(),
            (Bytes{0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xF7, 0xB0, 0x07, 0x40}));
  EXPECT_FALSE(fake_midi::OutputInSysex());
}

// A new F0 inside the pieces of a message that was never ended: release 217
// packs the old message's last bytes and the new F0 into one event, release
// 2 drops those bytes and starts afresh.
TEST_F(MidiThruTest, ANewF0InsideThePiecesEndsTheOldMessageWithOneF7) {
  fake_midi::PlaySysex({0xF0, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16});
  fake_midi::PlaySysex({0xF0, 0x21, 0x22, kEnd});
  PumpMidi(&link);
  const Bytes tail = fake_midi::kRelease2 ? Bytes{} : Bytes{0x14, 0x15, 0x16};
  Bytes expected{0xF0, 0x11, 0x12, 0x13};
  expected.insert(expected.end(), tail.begin(), tail.end());
  expected.insert(expected.end(), {0xF7, 0xF0, 0x21, 0x22, 0xF7});
  EXPECT_EQ(fake_midi::Wire(), expected);
}

TEST_F(MidiThruTest, TheNextMessageLosesNoBytesToTheTailOfACutOffOne) {
  // Ten bytes leave two in the library's unfilled last event; it puts them in
  // front of the next message's F0.
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
  fake_midi::Play(Pm_Message(0x90, 60, 100));
  fake_midi::Play(Pm_Message(0x90, 61, 90));
  fake_midi::PlaySysex({0xF0, 0x7E, 0x11, 0x12, 0x13, 0x14, 0x15, kEnd});
  fake_midi::Play(Pm_Message(0x90, 62, 80));
  PumpMidi(&link);
  EXPECT_EQ(WrittenMessages(),
            (Messages{Word(0xF0, 0x7D, 0x01, 0x02), Word(0x03, 0x04, 0x05, 0x06), kEnd,
                      Pm_Message(0x90, 61, 90), Word(0xF0, 0x7E, 0x11, 0x12),
                      Word(0x13, 0x14, 0x15, kEnd), Pm_Message(0x90, 62, 80)}));
  EXPECT_EQ(sceneState.levels[14], 80);
}

TEST_F(MidiThruTest, AMessageLeftOpenIsEndedBeforeTheStreamsClose) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  PumpMidi(&link);
  CallLog().clear();
  CloseMidiPorts(&link);
  EXPECT_EQ(WrittenMessages().back(), kEnd);
  EXPECT_FALSE(fake_midi::OutputInSysex());
  EXPECT_EQ(CallLog(), (std::vector<std::string>{"Pm_Write(out, 1)", "Pm_Close(in)",
                                                 "Pm_Close(out)", "Pm_Terminate"}));
}

TEST_F(MidiThruTest, ACompleteMessageAddsNothingAtClose) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, kEnd});
  PumpMidi(&link);
  CloseMidiPorts(&link);
  EXPECT_EQ(WrittenMessages(), (Messages{Word(0xF0, 0x7D, 0x01, 0x02), Word(0x03, kEnd, 0, 0)}));
}

}  // namespace
