#include "midi/midi_link.h"

#include "midi/apply_midi_event.h"
#include "midi/midi_failure_policy.h"
#include "midi/midi_loopback.h"
#include "midi/midi_thru.h"

#include <porttime.h>

#include <cstdint>

namespace {

constexpr int kClockResolutionMs = 1;
constexpr std::int32_t kOutputBufferSize = 0;
constexpr std::int32_t kOutputLatencyMs = 0;
constexpr std::int32_t kEventsPerRead = 1;

// Both streams take their time from PortTime; the library wants the clock
// with a context argument that Pt_Time does not have.
PmTimestamp MidiClock(void* /*timeInfo*/) { return Pt_Time(); }

}  // namespace

void OpenMidiPorts(MidiLink* link) {
  Pm_Initialize();
  Pt_Start(kClockResolutionMs, nullptr, nullptr);
  MidiFailurePolicy(Pm_OpenOutput(&link->midiOut, kMidiOutputDevice, nullptr, kOutputBufferSize,
                                  MidiClock, nullptr, kOutputLatencyMs));
  // Release 2 of the library looks the input up in its device table without
  // checking the number first: past the end of the table it reads whatever
  // lies there. The number is checked here, so the answer is the one release
  // 217 gives.
  if (kMidiInputDevice >= Pm_CountDevices()) {
    MidiFailurePolicy(pmInvalidDeviceId);
  }
  MidiFailurePolicy(Pm_OpenInput(&link->midiIn, kMidiInputDevice, nullptr, kMidiInputQueueSize,
                                 MidiClock, nullptr));
  MidiFailurePolicy(Pm_SetFilter(link->midiIn, PM_FILT_ACTIVE | PM_FILT_CLOCK));
  const PmDeviceInfo* output = Pm_GetDeviceInfo(kMidiOutputDevice);
  const PmDeviceInfo* input = Pm_GetDeviceInfo(kMidiInputDevice);
  link->outputLoopsBack = IsMidiLoopback(output, input);
  // Whatever arrived while the ports were opening is stale: drop it.
  while (Pm_Poll(link->midiIn) == pmGotData) {
    Pm_Read(link->midiIn, &link->midiEvent, kEventsPerRead);
  }
}

void PumpMidi(MidiLink* link) {
  for (;;) {
    MidiFailurePolicy(Pm_Poll(link->midiIn));
    // The read has the last word, not the poll: the library reports an
    // overflowed queue only to a read, and its poll already says "empty" once
    // the events received before the overflow are read. Stopping at the poll
    // would leave the input deaf, dropping everything without a word.
    const PmError read = MidiFailurePolicy(
        static_cast<PmError>(Pm_Read(link->midiIn, &link->midiEvent, kEventsPerRead)));
    if (read == pmNoData) {
      return;
    }
    // Thru comes first: what is played must leave unchanged as soon as it is read,
    // whatever the scene makes of it. A loopback port has already handed
    // the event to its other readers; written back, it would come round
    // again, and again, within this very pump.
    if (!link->outputLoopsBack) WriteMidiThru(link);
    ApplyMidiEvent(&link->midiEvent);
  }
}

void CloseMidiPorts(MidiLink* link) {
  EndMidiThru(link);
  MidiFailurePolicy(Pm_Close(link->midiIn));
  MidiFailurePolicy(Pm_Close(link->midiOut));
  Pm_Terminate();
}
