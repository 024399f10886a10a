// The fatal-error rule, as the user's terminal sees it: the library's text,
// the prompt, one line read, exit -1.
#include "midi/midi_failure_policy.h"
#include "child_process.h"
#include "fake_portmidi.h"
#include "midi_failure_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

TEST(MidiFailurePolicyTest, PassesResultsOfZeroAndMoreThrough) {
  EXPECT_EQ(MidiFailurePolicy(pmNoError), pmNoError);
  EXPECT_EQ(MidiFailurePolicy(pmGotData), pmGotData);
  EXPECT_EQ(MidiFailurePolicy(static_cast<PmError>(7)), 7);
}

TEST(MidiFailurePolicyTest, ReportsAnErrorPromptsAndWaitsForALineThenExitsWithMinusOne) {
  const ChildRun run =
      RunInChild([] { MidiFailurePolicy(pmInvalidDeviceId); }, kPrompt, "anything at all\n");
  EXPECT_EQ(run.output, FailureText(pmInvalidDeviceId));
  EXPECT_TRUE(run.waitedAtPrompt);
  EXPECT_EQ(run.exitStatus, 255);
}

TEST(MidiFailurePolicyTest, ReportsAHostErrorWithItsTextAndClearsIt) {
  const ChildRun run = RunInChild(
      [] {
        std::atexit([] {
          char text[PM_HOST_ERROR_MSG_LEN] = "not cleared";
          Pm_GetHostErrorText(text, PM_HOST_ERROR_MSG_LEN);
          std::printf("[%s]", text);
        });
        fake_midi::Reset();
        fake_midi::FailCall("Pm_Poll", pmHostError, 1, "device unplugged");
        MidiFailurePolicy(Pm_Poll(nullptr));
      },
      kPrompt, "\n");
  EXPECT_EQ(run.output, "PortMidi found host error...\n  device unplugged\ntype ENTER...[]");
  EXPECT_TRUE(run.waitedAtPrompt);
  EXPECT_EQ(run.exitStatus, 255);
}

TEST(MidiFailurePolicyTest, EndsAtOnceWhenStandardInputIsClosed) {
  const ChildRun run = RunInChild([] { MidiFailurePolicy(pmBadPtr); }, "", "");
  EXPECT_EQ(run.output, FailureText(pmBadPtr));
  EXPECT_EQ(run.exitStatus, 255);
}

}  // namespace
