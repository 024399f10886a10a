// The frame pace, as a small state machine: who decides when a frame is
// presented.
//
// The display paces the frames where it can: each swap waits for its next
// frame (swap interval 1), one frame a refresh as on Windows. A window the
// compositor does not show (minimised, on another workspace, on a blanked
// or locked screen) gets no frame of the display, and a swap waiting for
// one waits for SDL's or the server's timeout instead: 50 ms under SDL 3 on
// Wayland, about 170 ms under classic SDL 2, 1 s under Xwayland. The
// program reads MIDI between frames and its input queue holds 100 events,
// so then the layer paces the frames by the clock (swap interval 0), one a
// display period, until the window is seen again.
//
// The layer decides before a swap wherever it can, so that no swap starts
// a wait the display will not end:
// - On Wayland the compositor tells: a frame callback asked with each swap
//   is done once it drew that frame. While the display paces, the layer
//   reads the display for it until two periods after the last swap (a seen
//   window's comes within about one); when it did not come, the layer
//   paces. While the layer paces, one that came means the window is seen.
// - Elsewhere the window system tells when the window is hidden or
//   minimised (most X11 window managers unmap a window on another
//   workspace), and when it is shown again or may be (focused).
// - A swap that waited past three periods all the same stalled (an X11
//   window left mapped on another workspace, with a driver that waits).
//   Where the window system cannot tell, the display is tried again by the
//   clock, but only where a stalled try costs little: as often as a
//   twentieth of the time at most, and never where one took six periods or
//   more (Xwayland's 1 s: the MIDI input could fill meanwhile).
//
// The decisions are pure; sdl_frame_pace.cpp carries them out.
#pragma once

#include <chrono>

enum class PaceState {
  kDisplayPaces,  // swap interval 1
  kLayerPaces,    // swap interval 0, a frame a display period by the clock
};

enum class PaceStep {
  kStay,
  kPaceByDisplay,  // the window is seen again, or tried
  kPaceByLayer,    // the window is not seen, or a swap stalled
};

// What the layer knows just before a swap.
struct PaceFacts {
  bool compositorTells = false;  // a Wayland compositor answers frame callbacks
  bool frameDrawn = false;       // it drew the frame asked for with the last swap
  bool unseen = false;           // elsewhere: the window system said hidden or minimised
  bool shownAgain = false;       // elsewhere: it said shown or focused since the last swap
  bool tryDue = false;           // elsewhere: the clock's next try of the display is due
};

PaceStep DecideBeforeSwap(PaceState state, const PaceFacts& facts);

// Until when, at the latest, a Wayland frame may be awaited before the
// swap while the display paces.
std::chrono::steady_clock::time_point FrameDeadline(std::chrono::steady_clock::time_point lastSwap,
                                                    std::chrono::steady_clock::duration period);

// After a swap the display paced: whether it stalled.
PaceStep DecideAfterSwap(PaceState state, std::chrono::steady_clock::duration took,
                         std::chrono::steady_clock::duration period);

// After a stall that took this long: how long until the display is tried
// again by the clock; duration::max() for never.
std::chrono::steady_clock::duration TryAgainAfter(std::chrono::steady_clock::duration took,
                                                  std::chrono::steady_clock::duration period);
