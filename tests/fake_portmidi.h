// A test double of PortMidi and PortTime, linked in place of the library:
// the same functions, declared by the library's own headers. Input is
// scripted, every call and every written event is logged (in CallLog()), and
// any call can be made to fail. Like the real library it drops filtered
// messages where input arrives. An input queue that is full when an event
// arrives drops it and all later input; the events queued before stay
// readable, Pm_Poll says "no data" once they are read, and the next Pm_Read
// then reports pmBufferOverflow.
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

// Events waiting in the input queue.
int Pending();

// The streams and settings the program opened.
PortMidiStream* InputStream();
PortMidiStream* OutputStream();
int Filter();

}  // namespace fake_midi
