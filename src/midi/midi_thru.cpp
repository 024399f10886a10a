#include "midi/midi_thru.h"

#include "midi/midi_failure_policy.h"

#include <algorithm>
#include <cassert>
#include <tuple>

namespace {

constexpr int kSysex = 0xF0;
constexpr int kEndOfSysex = 0xF7;
constexpr int kBytesPerEvent = 4;
// Real-time bytes held while waiting for a data byte, at most; the next
// event's bytes still fit behind them.
constexpr int kMostRealTimeHeld =
    static_cast<int>(std::tuple_size_v<decltype(MidiLink::sysexHeld)>) - kBytesPerEvent;

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

// Whether the event can go out as it came: it neither starts a message in
// its middle, nor starts with a real-time byte inside an open message, nor
// follows bytes that are being regrouped.
bool InStep(const MidiLink* link, PmMessage message) {
  const int first = ByteOf(message, 0);
  if (Holds(message, kSysex, 1)) return false;
  if (link->sysexOpen) return !link->sysexRealigned && !IsRealTime(first);
  return IsStatus(first) && first != kEndOfSysex;
}

// The room is exactly the worst case: kMostRealTimeHeld real-time bytes
// waiting for a data byte, then one event's four bytes behind them.
void Hold(MidiLink* link, int byte) {
  assert(link->sysexHeldCount < static_cast<int>(link->sysexHeld.size()));
  link->sysexHeld[link->sysexHeldCount++] = static_cast<unsigned char>(byte);
}

void Drop(MidiLink* link, int count) {
  link->sysexHeldCount -= count;
  for (int i = 0; i < link->sysexHeldCount; ++i) link->sysexHeld[i] = link->sysexHeld[i + count];
}

void WriteBytes(MidiLink* link, const unsigned char* bytes, int count) {
  PmEvent event{0, link->midiEvent.timestamp};
  for (int i = 0; i < count; ++i) event.message |= static_cast<PmMessage>(bytes[i]) << (8 * i);
  MidiFailurePolicy(Pm_Write(link->midiOut, &event, 1));
}

// The held bytes of an open message start with real-time bytes. Brings the
// first data byte ahead of them and says true; or, where the message ends
// first, writes the F7 and then each real-time byte on its own, and says
// false; or, where neither has come yet, says false to wait for it. Once
// more real-time bytes are held than there is room for, says true: the
// library then sends the first of them twice, as it cannot be helped.
bool PutDataFirst(MidiLink* link) {
  unsigned char* held = link->sysexHeld.data();
  unsigned char* end = held + link->sysexHeldCount;
  unsigned char* next =
      std::find_if(held, end, [](unsigned char byte) { return !IsRealTime(byte); });
  if (next == end) return link->sysexHeldCount > kMostRealTimeHeld;
  if (*next != kEndOfSysex) {
    std::rotate(held, next, next + 1);
    return true;
  }
  WriteBytes(link, next, 1);
  link->sysexOpen = false;
  for (const unsigned char* byte = held; byte != next; ++byte) WriteBytes(link, byte, 1);
  Drop(link, static_cast<int>(next - held) + 1);
  return false;
}

// Writes the held bytes four to an event; with end, the last few as well.
void WriteHeldBytes(MidiLink* link, bool end) {
  while (link->sysexHeldCount > 0) {
    if (link->sysexOpen && IsRealTime(link->sysexHeld[0]) && !PutDataFirst(link)) return;
    const int count = std::min(link->sysexHeldCount, kBytesPerEvent);
    if (count < kBytesPerEvent && !end) return;
    WriteBytes(link, link->sysexHeld.data(), count);
    Drop(link, count);
  }
}

// Writes the bytes of a system-exclusive event that cannot go out as it
// came: the library has packed them out of step with the messages (the tail
// of a message that was cut off comes first, and a new F0 follows inside the
// same event), or the event starts with a real-time byte. The tail goes out
// with the open message; when that message has been ended already its data
// are dropped and its real-time bytes go out on their own. The rest is
// written regrouped, four bytes to an event.
void RegroupBytes(MidiLink* link, PmMessage message) {
  for (int i = 0; i < kBytesPerEvent; ++i) {
    const int byte = ByteOf(message, i);
    if (byte == kSysex) {
      if (link->sysexOpen) {
        Hold(link, kEndOfSysex);
        WriteHeldBytes(link, true);
      }
      link->sysexOpen = true;
    } else if (!link->sysexOpen) {
      // Real-time messages keep their place; data of an ended message go.
      if (IsRealTime(byte)) {
        Hold(link, byte);
        WriteHeldBytes(link, true);
      }
      continue;
    }
    link->sysexRealigned = true;
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
  if (!InStep(link, message)) {
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
