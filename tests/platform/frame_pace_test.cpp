// The frame pace's decisions, with made-up durations and window events and
// no display: who paces the frames, the display or the layer.
#include "platform/frame_pace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const Clock::duration kPeriod =
    std::chrono::duration_cast<Clock::duration>(milliseconds(1000)) / 60;
constexpr PaceState kDisplay = PaceState::kDisplayPaces;
constexpr PaceState kLayer = PaceState::kLayerPaces;

PaceFacts Wayland(bool drawn) {
  PaceFacts facts;
  facts.compositorTells = true;
  facts.frameDrawn = drawn;
  return facts;
}

PaceFacts X11(bool unseen, bool shownAgain = false, bool tryDue = false) {
  PaceFacts facts;
  facts.unseen = unseen;
  facts.shownAgain = shownAgain;
  facts.tryDue = tryDue;
  return facts;
}

struct BeforeSwapCase {
  std::string what;
  PaceState state;
  PaceFacts facts;
  PaceStep step;
};

TEST(FramePaceTest, BeforeTheSwapNoWaitStartsForAWindowThatIsNotSeen) {
  const std::vector<BeforeSwapCase> cases{
      {"Wayland, drawn in time", kDisplay, Wayland(true), PaceStep::kStay},
      {"Wayland, hidden: not drawn by the deadline", kDisplay, Wayland(false),
       PaceStep::kPaceByLayer},
      {"Wayland, still hidden", kLayer, Wayland(false), PaceStep::kStay},
      {"Wayland, drawn again", kLayer, Wayland(true), PaceStep::kPaceByDisplay},
      {"Wayland, window events say nothing", kLayer, PaceFacts{true, false, false, true, true},
       PaceStep::kStay},
      {"X11, shown", kDisplay, X11(false), PaceStep::kStay},
      {"X11, hidden or minimised", kDisplay, X11(true), PaceStep::kPaceByLayer},
      {"X11, still hidden, a focus and a due try", kLayer, X11(true, true, true), PaceStep::kStay},
      {"X11, after a stall, nothing said", kLayer, X11(false), PaceStep::kStay},
      {"X11, shown, restored or focused again", kLayer, X11(false, true), PaceStep::kPaceByDisplay},
      {"X11, after a stall, the clock's try", kLayer, X11(false, false, true),
       PaceStep::kPaceByDisplay},
  };
  for (const BeforeSwapCase& c : cases) {
    EXPECT_EQ(DecideBeforeSwap(c.state, c.facts), c.step) << c.what;
  }
}

struct AfterSwapCase {
  std::string what;
  PaceState state;
  milliseconds took;
  PaceStep step;
  Clock::duration tryAgainAfter;  // after a stall
};

TEST(FramePaceTest, AStalledSwapHandsThePaceToTheLayerAndATryCostsATwentiethAtMost) {
  const Clock::duration never = Clock::duration::max();
  const std::vector<AfterSwapCase> cases{
      {"a frame, or a try by the clock that succeeds",
       kDisplay,
       milliseconds(16),
       PaceStep::kStay,
       {}},
      {"under three periods: late, not stalled", kDisplay, milliseconds(45), PaceStep::kStay, {}},
      {"SDL 3's 50 ms wait, or a try that stalls again", kDisplay, milliseconds(55),
       PaceStep::kPaceByLayer, milliseconds(1100)},
      {"classic SDL 2's 170 ms", kDisplay, milliseconds(170), PaceStep::kPaceByLayer, never},
      {"Xwayland's 1 s", kDisplay, milliseconds(1000), PaceStep::kPaceByLayer, never},
      {"the layer's own frames never stall", kLayer, milliseconds(1000), PaceStep::kStay, {}},
  };
  for (const AfterSwapCase& c : cases) {
    EXPECT_EQ(DecideAfterSwap(c.state, c.took, kPeriod), c.step) << c.what;
    if (c.step == PaceStep::kPaceByLayer) {
      EXPECT_EQ(TryAgainAfter(c.took, kPeriod), c.tryAgainAfter) << c.what;
    }
  }
}

}  // namespace
