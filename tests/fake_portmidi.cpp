#include "fake_portmidi.h"

#include "call_log.h"

#include <porttime.h>

#include <GL/glx.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>

namespace {

struct Failure {
  PmError error;
  int nth;
  std::string hostText;
};

int inputTag;
int outputTag;

struct FakeLibrary {
  bool inputOpen = false;
  bool outputOpen = false;
  int capacity = 0;
  int filters = 0;
  bool overflowed = false;
  // The input's system-exclusive message being received, and its bytes not
  // yet filling a whole event.
  bool inputSysex = false;
  PmMessage sysexWord = 0;
  int sysexWordBytes = 0;
  // The output holds a system-exclusive message still waiting for its F7.
  bool outputSysex = false;
  std::deque<PmEvent> queue;
  std::deque<PmEvent> arrivingOnOpen;
  std::vector<PmEvent> read;
  std::vector<PmEvent> written;
  std::multimap<std::string, Failure> failures;
  std::string hostText;
  PmTimestamp now = 0;
  std::function<void(const PmEvent&)> onWrite;
};

FakeLibrary fake;

// The test build of the whole program takes its input from a pipe and logs
// to a file, both named in the environment; unit tests use neither.
int feed = -1;
std::string feedLine;

void Log(const std::string& entry) {
  CallLog().push_back(entry);
  if (const char* path = std::getenv("ORBWELL_FAKE_MIDI_LOG")) {
    if (FILE* file = std::fopen(path, "a")) {
      std::fprintf(file, "%s\n", entry.c_str());
      std::fclose(file);
    }
  }
}

std::string NameOf(PortMidiStream* stream) {
  if (stream == &inputTag) return "in";
  if (stream == &outputTag) return "out";
  return stream == nullptr ? "null" : "unknown";
}

bool Injected(const std::string& function, PmError* error) {
  auto [first, last] = fake.failures.equal_range(function);
  for (auto it = first; it != last; ++it) {
    if (--it->second.nth == 0) {
      *error = it->second.error;
      if (*error == pmHostError) fake.hostText = it->second.hostText;
      fake.failures.erase(it);
      return true;
    }
  }
  return false;
}

constexpr int kSysex = 0xF0;
constexpr int kEndOfSysex = 0xF7;

bool IsRealTime(int status) { return (status & 0xF8) == 0xF8; }

bool RealTimeFiltered(int status) {
  return (status & 0xF0) == 0xF0 && (fake.filters & (1 << (status & 0xF))) != 0;
}

bool StatusFiltered(int status) {
  return (fake.filters & (1 << (0x10 + (status >> 4)))) != 0 ||
         (IsRealTime(status) && RealTimeFiltered(status));
}

// As in the library: once the queue has overflowed, nothing more is queued
// until a read has reported the overflow, and a system-exclusive message
// being received is given up.
void Enqueue(const PmEvent& event) {
  if (fake.overflowed || static_cast<int>(fake.queue.size()) >= fake.capacity) {
    fake.overflowed = true;
    fake.inputSysex = false;
    return;
  }
  fake.queue.push_back(event);
}

void FlushSysexWord(PmTimestamp timestamp) {
  if (fake.sysexWordBytes == 0) return;
  Enqueue(PmEvent{fake.sysexWord, timestamp});
  fake.sysexWord = 0;
  fake.sysexWordBytes = 0;
}

void AddSysexByte(int byte, PmTimestamp timestamp) {
  fake.sysexWord |= static_cast<PmMessage>(byte) << (8 * fake.sysexWordBytes++);
  if (fake.sysexWordBytes == 4) FlushSysexWord(timestamp);
}

// A short message from the device. As PortMidi 217 does: a real-time message
// during a system-exclusive message becomes one of its bytes; any other status
// ends the system-exclusive message and is itself dropped.
void ReadShort(const PmEvent& event) {
  const int status = Pm_MessageStatus(event.message);
  if (StatusFiltered(status)) return;
  if (!fake.inputSysex) {
    Enqueue(event);
  } else if (IsRealTime(status)) {
    AddSysexByte(status, event.timestamp);
  } else {
    fake.inputSysex = false;
  }
}

// A run of system-exclusive bytes from the device, packed four to an event
// as PortMidi 217 packs them. Bytes left over in the last, unfilled event
// stay there: when a status byte cuts the message off they are put in front
// of the next system-exclusive message.
void ReadBytes(const std::vector<int>& bytes, PmTimestamp timestamp) {
  size_t i = 0;
  if (!fake.inputSysex) {
    while (i < bytes.size() && !fake.inputSysex) {
      const int byte = bytes[i];
      if (byte == kSysex && !RealTimeFiltered(byte)) {
        fake.inputSysex = true;
        break;
      }
      ++i;
      if (byte == kEndOfSysex) return;
      if ((byte & 0x80) != 0) ReadShort(PmEvent{static_cast<PmMessage>(byte), timestamp});
    }
  }
  while (i < bytes.size() && fake.inputSysex) {
    const bool wholeDataWord =
        fake.sysexWordBytes == 0 && i + 4 <= bytes.size() &&
        ((bytes[i] | bytes[i + 1] | bytes[i + 2] | bytes[i + 3]) & 0x80) == 0;
    if (wholeDataWord) {
      Enqueue(PmEvent{static_cast<PmMessage>(bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 |
                                             bytes[i + 3] << 24),
                      timestamp});
      i += 4;
      continue;
    }
    const int byte = bytes[i++];
    if (IsRealTime(byte) && RealTimeFiltered(byte)) continue;
    if (byte == kEndOfSysex) {
      AddSysexByte(byte, timestamp);
      fake.inputSysex = false;
      FlushSysexWord(timestamp);
      return;
    }
    AddSysexByte(byte, timestamp);
  }
}

// What one event from the device is: a short message, or up to four bytes
// of a system-exclusive message (ending at its F7).
void Arrive(const PmEvent& event) {
  const int first = Pm_MessageStatus(event.message);
  if (first != kSysex && first != kEndOfSysex && (first & 0x80) != 0) {
    ReadShort(event);
    return;
  }
  std::vector<int> bytes;
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<int>((event.message >> shift) & 0xFF));
    if (bytes.back() == kEndOfSysex) break;
  }
  ReadBytes(bytes, event.timestamp);
}

// Pm_Write's checks, as PortMidi 217 makes them: inside a system-exclusive
// message only its bytes, an F7 and real-time messages may come; outside
// one, every event must start with a status byte.
PmError CheckWrite(PmMessage message) {
  const int first = Pm_MessageStatus(message);
  int start = 0;
  if (first == kSysex) {
    if (fake.outputSysex) {
      fake.outputSysex = false;
      return pmBadData;
    }
    fake.outputSysex = true;
    start = 8;
  } else if ((first & 0x80) != 0 && first != kEndOfSysex) {
    if (!fake.outputSysex) return pmNoError;
    if (!IsRealTime(first)) {
      fake.outputSysex = false;
      return pmBadData;
    }
  }
  if (!fake.outputSysex) return pmBadData;
  for (int shift = start; shift < 32; shift += 8) {
    if (((message >> shift) & 0xFF) == kEndOfSysex) {
      fake.outputSysex = false;
      break;
    }
  }
  return pmNoError;
}

void PullFeed() {
  char buffer[4096];
  ssize_t n;
  while (feed >= 0 && (n = read(feed, buffer, sizeof buffer)) > 0) {
    feedLine.append(buffer, static_cast<size_t>(n));
  }
  size_t end;
  while ((end = feedLine.find('\n')) != std::string::npos) {
    std::istringstream bytes(feedLine.substr(0, end));
    feedLine.erase(0, end + 1);
    PmMessage message = 0;
    unsigned value;
    for (int shift = 0; shift < 32 && bytes >> std::hex >> value; shift += 8) {
      message |= static_cast<PmMessage>(value << shift);
    }
    Arrive(PmEvent{message, fake.now});
  }
}

std::string ContextNote() {
  return glXGetCurrentContext() != nullptr ? " context=current" : " context=none";
}

std::string ClockOf(PmTimeProcPtr timeProc, void* timeInfo) {
  return timeProc == nullptr ? "null" : std::to_string(timeProc(timeInfo));
}

}  // namespace

namespace fake_midi {

void Reset() {
  fake = FakeLibrary{};
  CallLog().clear();
}

void PlaySysex(const std::vector<int>& bytes, PmTimestamp timestamp) {
  if (fake.inputOpen) ReadBytes(bytes, timestamp);
}

bool OutputInSysex() { return fake.outputSysex; }

void Play(PmMessage message, PmTimestamp timestamp) {
  const PmEvent event{message, timestamp};
  if (fake.inputOpen) {
    Arrive(event);
  } else {
    fake.arrivingOnOpen.push_back(event);
  }
}

void FailCall(const std::string& function, PmError error, int nth, const std::string& hostText) {
  fake.failures.emplace(function, Failure{error, nth, hostText});
}

void SetClock(PmTimestamp now) { fake.now = now; }
void OnWrite(std::function<void(const PmEvent&)> observer) { fake.onWrite = std::move(observer); }
const std::vector<PmEvent>& Written() { return fake.written; }
const std::vector<PmEvent>& Read() { return fake.read; }
void ForgetReadAndWritten() {
  fake.read.clear();
  fake.written.clear();
}
int Pending() { return static_cast<int>(fake.queue.size()); }
PortMidiStream* InputStream() { return &inputTag; }
PortMidiStream* OutputStream() { return &outputTag; }
int Filter() { return fake.filters; }

}  // namespace fake_midi

PmError Pm_Initialize() {
  Log("Pm_Initialize");
  return pmNoError;
}

PmError Pm_Terminate() {
  Log("Pm_Terminate");
  return pmNoError;
}

PtError Pt_Start(int resolution, PtCallback* callback, void* /*userData*/) {
  Log("Pt_Start(" + std::to_string(resolution) + (callback == nullptr ? ", null)" : ", callback)"));
  return ptNoError;
}

PtTimestamp Pt_Time() { return fake.now; }

PmError Pm_OpenOutput(PortMidiStream** stream, PmDeviceID device, void* driverInfo,
                      int32_t bufferSize, PmTimeProcPtr timeProc, void* timeInfo, int32_t latency) {
  Log("Pm_OpenOutput(" + std::to_string(device) + ", " + (driverInfo ? "info" : "null") + ", " +
      std::to_string(bufferSize) + ", clock=" + ClockOf(timeProc, timeInfo) + ", " +
      (timeInfo ? "info" : "null") + ", " + std::to_string(latency) + ")");
  PmError error;
  if (Injected("Pm_OpenOutput", &error)) return error;
  if (device != 0) return pmInvalidDeviceId;
  fake.outputOpen = true;
  *stream = &outputTag;
  return pmNoError;
}

PmError Pm_OpenInput(PortMidiStream** stream, PmDeviceID device, void* driverInfo,
                     int32_t bufferSize, PmTimeProcPtr timeProc, void* timeInfo) {
  Log("Pm_OpenInput(" + std::to_string(device) + ", " + (driverInfo ? "info" : "null") + ", " +
      std::to_string(bufferSize) + ", clock=" + ClockOf(timeProc, timeInfo) + ", " +
      (timeInfo ? "info" : "null") + ")");
  PmError error;
  if (Injected("Pm_OpenInput", &error)) return error;
  if (device != 1) return pmInvalidDeviceId;
  fake.inputOpen = true;
  fake.capacity = bufferSize;
  *stream = &inputTag;
  for (const PmEvent& event : fake.arrivingOnOpen) Arrive(event);
  fake.arrivingOnOpen.clear();
  if (const char* path = std::getenv("ORBWELL_FAKE_MIDI_INPUT")) {
    feed = open(path, O_RDONLY | O_NONBLOCK);
  }
  return pmNoError;
}

PmError Pm_SetFilter(PortMidiStream* stream, int32_t filters) {
  Log("Pm_SetFilter(" + NameOf(stream) + ")");
  PmError error;
  if (Injected("Pm_SetFilter", &error)) return error;
  fake.filters = filters;
  return pmNoError;
}

PmError Pm_Poll(PortMidiStream* stream) {
  Log("Pm_Poll(" + NameOf(stream) + ")");
  PmError error;
  if (Injected("Pm_Poll", &error)) return error;
  PullFeed();
  return fake.queue.empty() ? pmNoData : pmGotData;
}

int Pm_Read(PortMidiStream* stream, PmEvent* buffer, int32_t length) {
  Log("Pm_Read(" + NameOf(stream) + ", " + std::to_string(length) + ")");
  PmError error;
  if (Injected("Pm_Read", &error)) return error;
  // The overflow is reported where it happened: after the events queued
  // before it, to the first read that finds the queue empty.
  if (fake.queue.empty() && fake.overflowed) {
    fake.overflowed = false;
    return pmBufferOverflow;
  }
  int count = 0;
  for (; count < length && !fake.queue.empty(); ++count) {
    buffer[count] = fake.queue.front();
    fake.read.push_back(buffer[count]);
    fake.queue.pop_front();
  }
  return count;
}

PmError Pm_Write(PortMidiStream* stream, PmEvent* buffer, int32_t length) {
  Log("Pm_Write(" + NameOf(stream) + ", " + std::to_string(length) + ")");
  PmError error;
  if (Injected("Pm_Write", &error)) return error;
  for (int i = 0; i < length; ++i) {
    if (const PmError check = CheckWrite(buffer[i].message); check != pmNoError) return check;
    if (fake.onWrite) fake.onWrite(buffer[i]);
    fake.written.push_back(buffer[i]);
  }
  return pmNoError;
}

PmError Pm_Close(PortMidiStream* stream) {
  Log("Pm_Close(" + NameOf(stream) + ")" + (feed >= 0 ? ContextNote() : ""));
  PmError error;
  if (Injected("Pm_Close", &error)) return error;
  return pmNoError;
}

const char* Pm_GetErrorText(PmError error) {
  switch (error) {
    case pmInvalidDeviceId: return "PortMidi: `Invalid device ID'";
    case pmBufferOverflow: return "PortMidi: `Buffer overflow'";
    case pmBadData: return "PortMidi: `Invalid MIDI message Data'";
    case pmBadPtr: return "PortMidi: `Bad pointer'";
    default: return "PortMidi: `Illegal error number'";
  }
}

void Pm_GetHostErrorText(char* message, unsigned int length) {
  std::snprintf(message, length, "%s", fake.hostText.c_str());
  fake.hostText.clear();
}
