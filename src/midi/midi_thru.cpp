#include "midi/midi_thru.h"

#include "midi/midi_failure_policy.h"

namespace {

constexpr int kSysex = 0xF0;
constexpr int kEndOfSysex = 0xF7;
constexpr int kBytesPerEvent = 4;

int ByteOf(PmMessage message, int index) {
  return static_cast<int>((message >> (8 * index)) & 0xFF);
}

bool IsStatus(int byte) { return (byte & 0x80) != 0; }
bool IsRealTime(int byte) { return byte >= 0xF8; }

// Whether a system-exclusive message open on the output goes on with an
// event that starts with this byte.
bool Continues(int first) { return !IsStatus(first) || first == kEndOfSysex || IsRealTime(first); }

// Whether the event holds the byte at or after index from.
bool Holds(PmMessage message, int byte, int from) {
  for (int i = from; i < kBytesPerEvent; ++i) {
    if (ByteOf(message, i) == byte) return true;
  }
  return false;
}

void Hold(MidiLink* link, int byte) {
  link->sysexHeld[link->sysexHeldCount++] = static_cast<unsigned char>(byte);
}

// Writes the held bytes four to an event; with end, the last few as well.
void WriteHeldBytes(MidiLink* link, bool end) {
  while (link->sysexHeldCount >= kBytesPerEvent || (end && link->sysexHeldCount > 0)) {
    const int count = link->sysexHeldCount < kBytesPerEvent ? link->sysexHeldCount : kBytesPerEvent;
    PmEvent event{0, link->midiEvent.timestamp};
    for (int i = 0; i < count; ++i) {
      event.message |= static_cast<PmMessage>(link->sysexHeld[i]) << (8 * i);
    }
    MidiFailurePolicy(Pm_Write(link->midiOut, &event, 1));
    link->sysexHeldCount -= count;
    for (int i = 0; i < link->sysexHeldCount; ++i) link->sysexHeld[i] = link->sysexHeld[i + count];
  }
}

// Writes the bytes of a system-exclusive event that the library has packed
// out of step with the messages: the tail of a message that was cut off
// comes first, and a new F0 follows inside the same event. The tail goes out
// with the open message; when that message has been ended already its data
// are dropped and its real-time bytes go out on their own. The new message is
// written from its F0, regrouped four bytes to an event.
void RegroupBytes(MidiLink* link, PmMessage message) {
  for (int i = 0; i < kBytesPerEvent; ++i) {
    const int byte = ByteOf(message, i);
    if (byte == kSysex) {
      if (link->sysexOpen) {
        Hold(link, kEndOfSysex);
        WriteHeldBytes(link, true);
      }
      link->sysexOpen = true;
      link->sysexRealigned = true;
    } else if (!link->sysexOpen) {
      // Real-time messages keep their place; data of an ended message go.
      if (IsRealTime(byte)) {
        Hold(link, byte);
        WriteHeldBytes(link, true);
      }
      continue;
    }
    Hold(link, byte);
    if (byte == kEndOfSysex) {
      WriteHeldBytes(link, true);
      link->sysexOpen = false;
      link->sysexRealigned = false;
      return;
    }
  }
  WriteHeldBytes(link, false);
}

}  // namespace

void WriteMidiThru(MidiLink* link) {
  const PmMessage message = link->midiEvent.message;
  const int first = ByteOf(message, 0);
  if (link->sysexOpen && !Continues(first)) EndMidiThru(link);
  const bool inStep =
      !Holds(message, kSysex, 1) &&
      (link->sysexOpen ? !link->sysexRealigned : IsStatus(first) && first != kEndOfSysex);
  if (!inStep) {
    RegroupBytes(link, message);
    return;
  }
  MidiFailurePolicy(Pm_Write(link->midiOut, &link->midiEvent, 1));
  if (first == kSysex) {
    link->sysexOpen = !Holds(message, kEndOfSysex, 1);
  } else if (link->sysexOpen) {
    link->sysexOpen = !Holds(message, kEndOfSysex, 0);
  }
}

void EndMidiThru(MidiLink* link) {
  if (!link->sysexOpen) return;
  Hold(link, kEndOfSysex);
  WriteHeldBytes(link, true);
  link->sysexOpen = false;
  link->sysexRealigned = false;
}
