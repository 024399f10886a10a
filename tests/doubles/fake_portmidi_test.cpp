// The PortMidi test double itself, where the program depends on a fault of
// the real library: the double must have it too, as the release the build
// uses has it, or the tests of the program would pass where the real library
// fails. Each case names the fault.
#include "fake_portmidi.h"
#include "child_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr PmMessage kEnd = 0xF7;

PmMessage Word(int b0, int b1, int b2, int b3) {
  return static_cast<PmMessage>(b0 | b1 << 8 | b2 << 16 | b3 << 24);
}

class PortMidiDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_midi::Reset();
    Pm_Initialize();
    ASSERT_EQ(Pm_OpenOutput(&out, 0, nullptr, 0, nullptr, nullptr, 0), pmNoError);
    ASSERT_EQ(Pm_OpenInput(&in, 1, nullptr, 100, nullptr, nullptr), pmNoError);
  }

  PortMidiStream* in = nullptr;
  PortMidiStream* out = nullptr;
};

// The thru must never write what the library refuses: a short message or a
// new F0 while a system-exclusive message is open, data while none is.
TEST_F(PortMidiDoubleTest, TheLibraryRefusesShortMessagesAndANewStartInsideSystemExclusive) {
  PmEvent start{Word(0xF0, 0x7D, 0x01, 0x02), 0};
  PmEvent clock{0xFA, 0};
  PmEvent note{Pm_Message(0x90, 60, 100), 0};
  PmEvent data{Word(0x03, 0x04, 0x05, 0x06), 0};
  PmEvent end{kEnd, 0};
  EXPECT_EQ(Pm_Write(out, &start, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &clock, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &note, 1), pmBadData);
  EXPECT_EQ(Pm_Write(out, &start, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &start, 1), pmBadData);
  EXPECT_EQ(Pm_Write(out, &start, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &end, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &note, 1), pmNoError);
  EXPECT_EQ(Pm_Write(out, &data, 1), pmBadData);
}

// Why the thru closes a cut-off message with an F7 of its own.
TEST_F(PortMidiDoubleTest, TheLibraryDropsTheStatusMessageThatCutsSystemExclusiveOff) {
  fake_midi::PlaySysex({0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  fake_midi::Play(Pm_Message(0x90, 60, 100));
  fake_midi::Play(Pm_Message(0x90, 61, 90));
  PmEvent event;
  std::vector<PmMessage> read;
  while (Pm_Read(in, &event, 1) == 1) read.push_back(event.message);
  EXPECT_EQ(read, (std::vector<PmMessage>{Word(0xF0, 0x7D, 0x01, 0x02),
                                          Word(0x03, 0x04, 0x05, 0x06), Pm_Message(0x90, 61, 90)}));
}

// Why the thru never lets an event inside such a message start with one.
TEST_F(PortMidiDoubleTest, TheLibrarySendsARealTimeEventInsideSystemExclusiveTwice) {
  PmEvent start{Word(0xF0, 0x7D, 0x01, 0x02), 0};
  PmEvent ledByStart{Word(0xFA, 0x03, 0x04, 0x05), 0};
  PmEvent end{kEnd, 0};
  ASSERT_EQ(Pm_Write(out, &start, 1), pmNoError);
  ASSERT_EQ(Pm_Write(out, &ledByStart, 1), pmNoError);
  ASSERT_EQ(Pm_Write(out, &end, 1), pmNoError);
  EXPECT_EQ(fake_midi::Wire(),
            (std::vector<int>{0xF0, 0x7D, 0x01, 0x02, 0xFA, 0xFA, 0x03, 0x04, 0x05, 0xF7}));
}

// Why the program checks the input's number itself: release 2 reads its
// table at any number, so asking it for one past the end must fail the test,
// as the real library would read out of bounds; release 217 refuses it.
TEST(PortMidiDoubleTableTest, OpeningAnInputPastTheEndOfTheTableIsCaughtAsItsReleaseDoes) {
  const ChildRun run = RunInChild(
      [] {
        fake_midi::Reset();
        fake_midi::SetDevices({false});
        PortMidiStream* stream = nullptr;
        std::printf("%d", Pm_OpenInput(&stream, 1, nullptr, 100, nullptr, nullptr));
      },
      "", "");
  if (fake_midi::kRelease2) {
    EXPECT_EQ(run.exitStatus, -1) << "not aborted: " << run.output;
  } else {
    EXPECT_EQ(run.output, std::to_string(pmInvalidDeviceId));
    EXPECT_EQ(run.exitStatus, 0);
  }
}

}  // namespace
