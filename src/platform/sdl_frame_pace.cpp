// The frame pace (platform/frame_pace.h) of a window on SDL: what the
// decisions need is gathered here, and the transitions own the swap
// interval.
#include "platform/frame_pace.h"
#include "platform/sdl_platform.h"

#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// The display paces the frames: each swap waits for its next frame.
void PaceByDisplay(HWND hWnd) {
  SDL_GL_SetSwapInterval(1);
  hWnd->pace = PaceState::kDisplayPaces;
}

// The layer paces them: swaps present at once, one a display period, and
// the display is tried again by the clock at tryAgain at the earliest.
void PaceByLayer(HWND hWnd, Clock::time_point now, Clock::time_point tryAgain) {
  SDL_GL_SetSwapInterval(0);
  hWnd->pace = PaceState::kLayerPaces;
  hWnd->nextFrame = now;
  hWnd->nextTry = tryAgain;
}

}  // namespace

void PaceBeforeSwap(HWND hWnd, Clock::duration period) {
  const Clock::time_point now = Clock::now();
  PaceFacts facts;
  facts.compositorTells = IsWaylandWindow(hWnd);
  if (facts.compositorTells) {
    facts.frameDrawn = hWnd->pace == PaceState::kDisplayPaces
                           ? AwaitFrame(hWnd, FrameDeadline(hWnd->lastSwap, period))
                           : FrameWasDrawn(hWnd);
  }
  facts.unseen = hWnd->unseen;
  facts.shownAgain = std::exchange(hWnd->shownAgain, false);
  facts.tryDue = now >= hWnd->nextTry;
  switch (DecideBeforeSwap(hWnd->pace, facts)) {
    case PaceStep::kPaceByDisplay: PaceByDisplay(hWnd); break;
    case PaceStep::kPaceByLayer: PaceByLayer(hWnd, now, Clock::time_point::max()); break;
    case PaceStep::kStay: break;
  }
  if (facts.compositorTells) AskForNextFrame(hWnd);
}

void PaceAfterSwap(HWND hWnd, Clock::duration took, Clock::duration period) {
  if (DecideAfterSwap(hWnd->pace, took, period) != PaceStep::kPaceByLayer) return;
  const Clock::time_point now = Clock::now();
  const Clock::duration wait = TryAgainAfter(took, period);
  PaceByLayer(hWnd, now, wait == Clock::duration::max() ? Clock::time_point::max() : now + wait);
}

void KeepPace(HWND hWnd, Clock::duration period) {
  hWnd->lastSwap = Clock::now();
  if (hWnd->pace != PaceState::kLayerPaces) return;
  // One period after the last frame; a frame that came late starts the
  // count afresh rather than hurrying.
  hWnd->nextFrame += period;
  if (hWnd->nextFrame < hWnd->lastSwap) {
    hWnd->nextFrame = hWnd->lastSwap;
  } else {
    std::this_thread::sleep_until(hWnd->nextFrame);
    hWnd->lastSwap = Clock::now();
  }
}
