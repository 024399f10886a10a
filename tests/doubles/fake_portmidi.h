// A test double of PortMidi and PortTime, linked in place of the library:
// the same functions, declared by the library's own headers. Input is
// scripted, every call, every written event and every byte sent is logged,
// and any call can be made to fail.
//
// It behaves as the source of the release whose headers the build uses
// (release 2 defines PM_DEVICEINFO_VERS, release 217 does not), with the
// ALSA back end:
// - the device table: Pm_OpenOutput checks the number in both releases;
//   Pm_OpenInput checks it in 217 only. Release 2 reads its table at any
//   number it is given; past the end the double reports the read on
//   standard error and aborts the process, so the test that caused it fails.
//   Pm_GetDeviceInfo gives null for a number outside the table (both);
// - the error texts: 217 quotes them (PortMidi: `Bad pointer'), release 2
//   does not (PortMidi: Bad pointer);
// - filtered messages are dropped where input arrives;
// - an input queue that is full when an event arrives drops it and all later
//   input; the events queued before stay readable, Pm_Poll says "no data"
//   once they are read, and the next Pm_Read then reports pmBufferOverflow;
// - system-exclusive input is packed four bytes to an event; a real-time
//   message inside one becomes one of its bytes, and a short message from
//   the device ends it and is dropped. The bytes of its unfilled last event
//   stay where they are: 217 puts them in front of the next system-exclusive
//   message, out of step; release 2 drops them when the next F0 arrives;
// - a status byte inside a run of system-exclusive bytes: 217 packs it as a
//   data byte; release 2 ends the message there and delivers the short
//   message that the status byte starts;
// - Pm_Write returns pmBadData for a status message other than real time, or
//   a new F0, while a system-exclusive message is open on the output, and for
//   an event that does not start with a status byte while none is open. A
//   real-time event written while one is open goes out on its own, and then
//   its four bytes go out again as bytes of the open message.
#pragma once

#include <portmidi.h>

#include <functional>
#include <string>
#include <vector>

namespace fake_midi {

#ifdef PM_DEVICEINFO_VERS
constexpr bool kRelease2 = true;
#else
constexpr bool kRelease2 = false;
#endif

// Forgets everything: closed streams, empty queue and logs, no failures,
// and the device table output 0, input 1.
void Reset();

// The library's device table, in its order: true for an input, false for an
// output.
void SetDevices(const std::vector<bool>& isInput);

// The names of the devices in the table, in its order, and their interface.
// Unnamed ones are the two ends of a VirMIDI port on ALSA.
void NameDevices(const std::vector<std::string>& names, const std::string& interf);

// Input arriving from the device while the input stream is open; before it
// is open, the event is held and arrives when Pm_OpenInput returns.
void Play(PmMessage message, PmTimestamp timestamp = 0);

// A run of system-exclusive bytes arriving from the device driver in one
// piece, while the input stream is open.
void PlaySysex(const std::vector<int>& bytes, PmTimestamp timestamp = 0);

// Whether the output holds a system-exclusive message without its F7.
bool OutputInSysex();

// The nth call from now of the function named (1 = the next one) returns
// error; for pmHostError the host error text becomes hostText.
void FailCall(const std::string& function, PmError error, int nth = 1,
              const std::string& hostText = "");

// What PortTime's Pt_Time returns.
void SetClock(PmTimestamp now);

// Called with each event as it is written, before it is logged.
void OnWrite(std::function<void(const PmEvent&)> observer);

// Every event Pm_Write accepted, in order.
const std::vector<PmEvent>& Written();

// Every byte the library sent to the output device, in order: what the
// device receives.
const std::vector<int>& Wire();

// Every event Pm_Read handed out, in order.
const std::vector<PmEvent>& Read();

// Empties Read(), Written() and Wire(), for long runs.
void ForgetReadAndWritten();

// Events waiting in the input queue.
int Pending();

// The streams and settings the program opened.
PortMidiStream* InputStream();
PortMidiStream* OutputStream();
int Filter();

}  // namespace fake_midi
