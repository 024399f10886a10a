#include "fake_portmidi.h"
#include "fake_portmidi_world.h"

#include "call_log.h"

#include <porttime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

namespace {

struct Failure {
  PmError error;
  int nth;
  std::string hostText;
};

int inputTag;
int outputTag;

struct FakeLibrary {
  std::vector<bool> devices{false, true};
  std::vector<std::string> names;
  std::string interf = "ALSA";
  std::vector<PmDeviceInfo> deviceInfo;
  bool inputOpen = false;
  bool outputOpen = false;
  int capacity = 0;
  int filters = 0;
  bool overflowed = false;
  // The input's system-exclusive message being received, and the bytes
  // packed into its next event so far. Release 2 packs a short message found
  // among system-exclusive bytes in the same word, towards shortLength bytes.
  bool inputSysex = false;
  PmMessage word = 0;
  int wordBytes = 0;
  int shortLength = 0;
  // The output holds a system-exclusive message still waiting for its F7.
  bool outputSysex = false;
  std::deque<PmEvent> queue;
  std::deque<PmEvent> arrivingOnOpen;
  std::vector<PmEvent> read;
  std::vector<PmEvent> written;
  std::vector<int> wire;
  std::multimap<std::string, Failure> failures;
  std::string hostText;
  PmTimestamp now = 0;
  std::function<void(const PmEvent&)> onWrite;
};

FakeLibrary fake;

void Log(const std::string& entry) {
  CallLog().push_back(entry);
  fake_midi::Logged(entry);
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

bool IsStatus(int byte) { return (byte & 0x80) != 0; }
bool IsRealTime(int status) { return (status & 0xF8) == 0xF8; }

int ByteOf(PmMessage message, int index) {
  return static_cast<int>((message >> (8 * index)) & 0xFF);
}

// Bytes of a short message, status byte included, as the ALSA back end
// counts them; it sends none at all of F4, F5, F9 and FD.
int MessageLength(int status) {
  static constexpr int kChannel[] = {3, 3, 3, 3, 2, 2, 3};
  static constexpr int kSystem[] = {0, 2, 3, 2, 0, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 1};
  if (!IsStatus(status)) return 0;
  return status < kSysex ? kChannel[(status - 0x80) >> 4] : kSystem[status - kSysex];
}

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

// The library shifts each byte by eight bits per byte already in the word;
// past the fourth byte the processor takes the shift modulo 32.
void AddToWord(int byte) {
  fake.word |= static_cast<PmMessage>(byte) << ((8 * fake.wordBytes++) & 31);
}

void FlushWord(PmTimestamp timestamp) {
  if (fake.wordBytes == 0) return;
  Enqueue(PmEvent{fake.word, timestamp});
  fake.word = 0;
  fake.wordBytes = 0;
}

// A short message from the device (pm_read_short, the same in both
// releases): a real-time message during a system-exclusive message becomes
// one of its bytes; any other status ends the system-exclusive message and
// is itself dropped.
void ReadShort(const PmEvent& event) {
  const int status = Pm_MessageStatus(event.message);
  if (StatusFiltered(status)) return;
  if (!fake.inputSysex || !IsStatus(status)) {
    Enqueue(event);
  } else if (IsRealTime(status)) {
    AddToWord(status);
    if (fake.wordBytes == 4) FlushWord(event.timestamp);
  } else {
    fake.inputSysex = false;
  }
}

// Release 217's pm_read_bytes. Outside a system-exclusive message it looks
// for an F0 and takes any other status byte for a real-time message; inside
// one every byte is packed, status bytes too, four to an event, and the
// first F7 ends the run. The word is not emptied when a message is cut off,
// so what is left of it goes in front of the next message's F0.
void ReadBytes217(const std::vector<int>& bytes, PmTimestamp timestamp) {
  size_t i = 0;
  while (!fake.inputSysex && i < bytes.size()) {
    const int byte = bytes[i];
    if (byte == kSysex && !RealTimeFiltered(byte)) {
      fake.inputSysex = true;
      break;
    }
    ++i;
    if (byte == kEndOfSysex) return;
    if (IsStatus(byte)) ReadShort(PmEvent{static_cast<PmMessage>(byte), timestamp});
  }
  while (i < bytes.size() && fake.inputSysex) {
    const bool wholeDataWord =
        fake.wordBytes == 0 && i + 4 <= bytes.size() &&
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
    AddToWord(byte);
    if (byte == kEndOfSysex) {
      fake.inputSysex = false;
      FlushWord(timestamp);
      return;
    }
    if (fake.wordBytes == 4) FlushWord(timestamp);
  }
}

// Release 2's pm_read_bytes: every byte by itself. An F0 starts a word
// afresh; any other status byte but F7 and real time ends a system-exclusive
// message and starts a short message, delivered once its bytes are in. The
// count of a delivered short message is not reset, and there is never a
// running status, so data bytes after it come to nothing.
void ReadBytes2(const std::vector<int>& bytes, PmTimestamp timestamp) {
  for (const int byte : bytes) {
    if (IsRealTime(byte)) {
      ReadShort(PmEvent{static_cast<PmMessage>(byte), timestamp});
    } else if (IsStatus(byte) && byte != kEndOfSysex) {
      fake.word = static_cast<PmMessage>(byte);
      fake.wordBytes = 1;
      fake.inputSysex = byte == kSysex;
      if (!fake.inputSysex) {
        fake.shortLength = MessageLength(byte);
        if (fake.shortLength == 1) {
          ReadShort(PmEvent{static_cast<PmMessage>(byte), timestamp});
          fake.wordBytes = 0;
        }
      }
    } else if (fake.inputSysex) {
      AddToWord(byte);
      if (fake.wordBytes == 4 || byte == kEndOfSysex) {
        const PmEvent event{fake.word, timestamp};
        fake.inputSysex = byte != kEndOfSysex;
        Enqueue(event);
        fake.word = 0;
        fake.wordBytes = 0;
      }
    } else if (fake.wordBytes != 0) {
      AddToWord(byte);
      if (fake.wordBytes == fake.shortLength) ReadShort(PmEvent{fake.word, timestamp});
    }
  }
}

void ReadBytes(const std::vector<int>& bytes, PmTimestamp timestamp) {
  if (fake_midi::kRelease2) {
    ReadBytes2(bytes, timestamp);
  } else {
    ReadBytes217(bytes, timestamp);
  }
}

// What one event from the device is: a short message, or up to four bytes
// of a system-exclusive message (ending at its F7).
void Arrive(const PmEvent& event) {
  const int first = Pm_MessageStatus(event.message);
  if (first != kSysex && first != kEndOfSysex && IsStatus(first)) {
    ReadShort(event);
    return;
  }
  std::vector<int> bytes;
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(ByteOf(event.message, i));
    if (bytes.back() == kEndOfSysex) break;
  }
  ReadBytes(bytes, event.timestamp);
}

void Send(int byte) { fake.wire.push_back(byte); }

void SendShort(PmMessage message) {
  for (int i = 0; i < MessageLength(ByteOf(message, 0)); ++i) Send(ByteOf(message, i));
}

// One event through Pm_Write's state machine, as in both releases' source.
PmError WriteEvent(PmMessage message) {
  const int first = ByteOf(message, 0);
  int start = 0;
  if (first == kSysex) {
    if (fake.outputSysex) {
      fake.outputSysex = false;
      return pmBadData;
    }
    fake.outputSysex = true;
    Send(kSysex);
    start = 1;
  } else if (IsStatus(first) && first != kEndOfSysex) {
    if (!fake.outputSysex) {
      SendShort(message);
      return pmNoError;
    }
    if (!IsRealTime(first)) {
      fake.outputSysex = false;
      return pmBadData;
    }
    // Sent on its own, then on through the byte loop below.
    SendShort(message);
  }
  if (!fake.outputSysex) return pmBadData;
  for (int i = start; i < 4; ++i) {
    Send(ByteOf(message, i));
    if (ByteOf(message, i) == kEndOfSysex) {
      fake.outputSysex = false;
      break;
    }
  }
  return pmNoError;
}

std::string ClockOf(PmTimeProcPtr timeProc, void* timeInfo) {
  return timeProc == nullptr ? "null" : std::to_string(timeProc(timeInfo));
}

bool InTable(PmDeviceID device) {
  return device >= 0 && device < static_cast<PmDeviceID>(fake.devices.size());
}

}  // namespace

namespace fake_midi {

void Reset() {
  fake = FakeLibrary{};
  CallLog().clear();
}

void SetDevices(const std::vector<bool>& isInput) { fake.devices = isInput; }

void NameDevices(const std::vector<std::string>& names, const std::string& interf) {
  fake.names = names;
  fake.interf = interf;
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
const std::vector<int>& Wire() { return fake.wire; }
const std::vector<PmEvent>& Read() { return fake.read; }
void ForgetReadAndWritten() {
  fake.read.clear();
  fake.written.clear();
  fake.wire.clear();
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

int Pm_CountDevices() {
  Log("Pm_CountDevices");
  return static_cast<int>(fake.devices.size());
}

// Both releases: the entry in the table, null outside it.
const PmDeviceInfo* Pm_GetDeviceInfo(PmDeviceID id) {
  Log("Pm_GetDeviceInfo(" + std::to_string(id) + ")");
  if (!InTable(id)) return nullptr;
  static const std::string kVirMidi = "VirMIDI 0-0";
  const auto index = static_cast<size_t>(id);
  fake.deviceInfo.resize(fake.devices.size());
  PmDeviceInfo& info = fake.deviceInfo[index];
  info = PmDeviceInfo{};
  info.structVersion = 1;
  info.interf = fake.interf.c_str();
  // Release 2 declares the name char*.
  info.name =
      const_cast<char*>(index < fake.names.size() ? fake.names[index].c_str() : kVirMidi.c_str());
  info.input = fake.devices[index] ? 1 : 0;
  info.output = 1 - info.input;
  info.opened = fake.devices[index] ? fake.inputOpen : fake.outputOpen;
  return &info;
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
  if (!InTable(device) || fake.devices[static_cast<size_t>(device)] || fake.outputOpen) {
    return pmInvalidDeviceId;
  }
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
  if (!InTable(device)) {
    if (fake_midi::kRelease2) {
      std::fprintf(stderr,
                   "PortMidi 2 double: Pm_OpenInput(%d) reads past the end of its %zu-device "
                   "table\n",
                   device, fake.devices.size());
      std::abort();
    }
    return pmInvalidDeviceId;
  }
  if (!fake.devices[static_cast<size_t>(device)] || fake.inputOpen) return pmInvalidDeviceId;
  fake.inputOpen = true;
  fake.capacity = bufferSize;
  *stream = &inputTag;
  for (const PmEvent& event : fake.arrivingOnOpen) Arrive(event);
  fake.arrivingOnOpen.clear();
  fake_midi::InputOpened();
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
  fake_midi::Polling();
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
  if (count == 0) fake_midi::ReadFoundNothing();
  return count;
}

PmError Pm_Write(PortMidiStream* stream, PmEvent* buffer, int32_t length) {
  Log("Pm_Write(" + NameOf(stream) + ", " + std::to_string(length) + ")");
  PmError error;
  if (Injected("Pm_Write", &error)) return error;
  for (int i = 0; i < length; ++i) {
    if (const PmError result = WriteEvent(buffer[i].message); result != pmNoError) return result;
    if (fake.onWrite) fake.onWrite(buffer[i]);
    fake_midi::Wrote(buffer[i]);
    fake.written.push_back(buffer[i]);
  }
  return pmNoError;
}

PmError Pm_Close(PortMidiStream* stream) {
  Log("Pm_Close(" + NameOf(stream) + ")" + fake_midi::ClosingNote());
  PmError error;
  if (Injected("Pm_Close", &error)) return error;
  return pmNoError;
}

// Release 217 quotes its texts, release 2 does not.
#ifdef PM_DEVICEINFO_VERS
#define ORBWELL_ERROR_TEXT(text) "PortMidi: " text
#else
#define ORBWELL_ERROR_TEXT(text) "PortMidi: `" text "'"
#endif

const char* Pm_GetErrorText(PmError error) {
  switch (error) {
    case pmNoError: return "";
    case pmHostError: return ORBWELL_ERROR_TEXT("Host error");
    case pmInvalidDeviceId: return ORBWELL_ERROR_TEXT("Invalid device ID");
    case pmInsufficientMemory: return ORBWELL_ERROR_TEXT("Insufficient memory");
    case pmBufferTooSmall: return ORBWELL_ERROR_TEXT("Buffer too small");
    case pmBadPtr: return ORBWELL_ERROR_TEXT("Bad pointer");
    case pmInternalError: return ORBWELL_ERROR_TEXT("Internal PortMidi Error");
    case pmBufferOverflow: return ORBWELL_ERROR_TEXT("Buffer overflow");
    case pmBadData: return ORBWELL_ERROR_TEXT("Invalid MIDI message Data");
    case pmBufferMaxSize: return ORBWELL_ERROR_TEXT("Buffer cannot be made larger");
#ifdef PM_DEVICEINFO_VERS
    case pmNotImplemented: return ORBWELL_ERROR_TEXT("Function is not implemented");
    case pmInterfaceNotSupported: return ORBWELL_ERROR_TEXT("Interface not supported");
    case pmNameConflict: return ORBWELL_ERROR_TEXT("Cannot create virtual device: name is taken");
    case pmDeviceRemoved: return ORBWELL_ERROR_TEXT("Output attempted after (USB) device removed");
#endif
    default: return ORBWELL_ERROR_TEXT("Illegal error number");
  }
}

void Pm_GetHostErrorText(char* message, unsigned int length) {
  std::snprintf(message, length, "%s", fake.hostText.c_str());
  fake.hostText.clear();
}
