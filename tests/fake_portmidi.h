// A test double of PortMidi and PortTime, linked in place of the library:
// the same functions, declared by the library's own headers. Input is
// scripted, every call and every written event is logged (in CallLog()), and
// any call can be made to fail. It behaves as PortMidi 217's source does:
// - filtered messages are dropped where input arrives;
// - an input queue that is full when an event arrives drops it and all later
//   input; the events queued before stay readable, Pm_Poll says "no data"
//   once they are read, and the next Pm_Read then reports pmBufferOverflow;
// - system-exclusive input is packed four bytes to an event; a real-time
//   message inside one becomes one of its bytes, and any other status message
//   ends it and is dropped, its unfilled last event kept for the next one;
// - Pm_Write returns pmBadData for a status message other than real time, or
//   a new F0, while a system-exclusive message is open on the output, and for
//   an event that does not start with a status byte while none is open.
#pragma once

#include <portmidi.h>

#include <functional>
#include <string>
#include <vector>

namespace fake_midi {

// Forgets everything: closed streams, empty queue and log, no failures.
void Reset();

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

// Every event written to the output, in order.
const std::vector<PmEvent>& Written();

// Every event Pm_Read handed out, in order.
const std::vector<PmEvent>& Read();

// Empties Read() and Written(), for long runs.
void ForgetReadAndWritten();

// Events waiting in the input queue.
int Pending();

// The streams and settings the program opened.
PortMidiStream* InputStream();
PortMidiStream* OutputStream();
int Filter();

}  // namespace fake_midi
