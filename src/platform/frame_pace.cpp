// The frame pace's decisions; frame_pace.h tells the whole of it.
#include "platform/frame_pace.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStalledSwapFrames = 3;  // a swap longer than this many periods has stalled
constexpr int kDrawnWithinFrames = 2;  // a seen window's frame is drawn within this many
constexpr std::chrono::seconds kTryEvery{1};
constexpr int kTryCostShare = 20;
constexpr int kCheapestTry = 6;  // a stall of this many periods is never tried by the clock

}  // namespace

PaceStep DecideBeforeSwap(PaceState state, const PaceFacts& facts) {
  const bool seen = facts.compositorTells ? facts.frameDrawn : !facts.unseen;
  if (state == PaceState::kDisplayPaces) return seen ? PaceStep::kStay : PaceStep::kPaceByLayer;
  if (!seen) return PaceStep::kStay;
  if (facts.compositorTells || facts.shownAgain || facts.tryDue) return PaceStep::kPaceByDisplay;
  return PaceStep::kStay;
}

Clock::time_point FrameDeadline(Clock::time_point lastSwap, Clock::duration period) {
  return lastSwap + kDrawnWithinFrames * period;
}

PaceStep DecideAfterSwap(PaceState state, Clock::duration took, Clock::duration period) {
  return state == PaceState::kDisplayPaces && took > kStalledSwapFrames * period
             ? PaceStep::kPaceByLayer
             : PaceStep::kStay;
}

Clock::duration TryAgainAfter(Clock::duration took, Clock::duration period) {
  if (took >= kCheapestTry * period) return Clock::duration::max();
  return std::max<Clock::duration>(kTryEvery, kTryCostShare * took);
}
