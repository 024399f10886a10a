#include "random_midi_stream.h"

#include "call_log.h"
#include "fake_portmidi.h"
#include "midi/midi_link.h"
#include "scene/scene_state.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kSysex = 0xF0;
constexpr int kEndOfSysex = 0xF7;

bool IsStatus(int byte) { return (byte & 0x80) != 0; }
bool IsRealTime(int byte) { return byte >= 0xF8; }

// Bytes after the status byte of a short message.
int DataBytesAfter(int status) {
  if (status < 0xF0) return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
  if (status == 0xF2) return 2;
  return status == 0xF1 || status == 0xF3 ? 1 : 0;
}

// The bytes a run of events puts on the wire, read the way the library's
// output reads them: inside a system-exclusive message every byte of an event
// up to an F7, outside one a short message's own length.
struct WireBytes {
  bool inSysex = false;
  std::vector<int> bytes;

  void Add(PmMessage message) {
    const int first = static_cast<int>(message & 0xFF);
    if (inSysex && IsStatus(first) && first != kEndOfSysex && !IsRealTime(first)) inSysex = false;
    // An F0 anywhere makes the event bytes of a system-exclusive message.
    bool holdsStart = false;
    for (int i = 0; i < 4; ++i) holdsStart |= ((message >> (8 * i)) & 0xFF) == kSysex;
    if (!inSysex && (holdsStart || !IsStatus(first) || first == kEndOfSysex)) inSysex = true;
    const int count = inSysex ? 4 : 1 + DataBytesAfter(first);
    for (int i = 0; i < count; ++i) {
      const int byte = static_cast<int>((message >> (8 * i)) & 0xFF);
      bytes.push_back(byte);
      if (inSysex && byte == kEndOfSysex) {
        inSysex = false;
        break;
      }
    }
  }
};

// A byte stream made valid MIDI: a status byte other than real time ends a
// system-exclusive message with F7, and data bytes that belong to no message
// are left out.
struct ValidStream {
  bool inSysex = false;
  int dataExpected = 0;
  std::vector<int> bytes;

  void Add(int byte) {
    if (IsRealTime(byte)) {
      bytes.push_back(byte);
    } else if (IsStatus(byte)) {
      if (inSysex) bytes.push_back(kEndOfSysex);
      inSysex = byte == kSysex;
      dataExpected = inSysex ? 0 : DataBytesAfter(byte);
      if (byte != kEndOfSysex) bytes.push_back(byte);
    } else if (inSysex || dataExpected > 0) {
      bytes.push_back(byte);
      if (!inSysex) --dataExpected;
    }
  }
};

class Player {
 public:
  explicit Player(std::uint32_t seed) : random_(seed) {}

  StreamRun Play(long events) {
    fake_midi::Reset();
    MidiLink link;
    OpenMidiPorts(&link);
    StreamRun run;
    while (run.failure.empty() && run.eventsRead < events) {
      PlayBatch(Uniform(1, kMidiInputQueueSize));
      PumpMidi(&link);
      run.eventsRead += static_cast<long>(fake_midi::Read().size());
      run.failure = Check(false);
      fake_midi::ForgetReadAndWritten();
      CallLog().clear();
    }
    if (run.failure.empty()) {
      CloseMidiPorts(&link);
      run.failure = Check(true);
    }
    return run;
  }

 private:
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int percent) { return Uniform(1, 100) <= percent; }
  int DataByte() { return Uniform(0, 0x7F); }

  PmMessage ShortMessage() {
    static constexpr int kCommon[] = {0xF1, 0xF2, 0xF3, 0xF6};
    int status;
    const int kind = Uniform(1, 100);
    if (kind <= 70) {
      status = Uniform(0x80, 0xEF);
    } else if (kind <= 80) {
      status = kCommon[Uniform(0, 3)];
    } else {
      status = RealTime();
    }
    auto message = static_cast<PmMessage>(status);
    for (int i = 1; i <= DataBytesAfter(status); ++i) {
      message |= static_cast<PmMessage>(DataByte()) << (8 * i);
    }
    return message;
  }

  // Timing clock and active sensing too: the input filters them.
  int RealTime() {
    static constexpr int kRealTime[] = {0xF8, 0xFA, 0xFB, 0xFC, 0xFE, 0xFF};
    return kRealTime[Uniform(0, 5)];
  }

  void StartSysex() {
    sysex_.assign(1, kSysex);
    const int length = Chance(20) ? Uniform(40, 300) : Uniform(0, 24);
    for (int i = 0; i < length; ++i) sysex_.push_back(DataByte());
    if (!Chance(30)) sysex_.push_back(kEndOfSysex);  // else cut off by what comes next
    sent_ = 0;
  }

  // Delivers what a device driver would next, with no more events than the
  // queue has room for.
  void Deliver(int room) {
    if (sent_ < sysex_.size()) {
      if (Chance(10)) {
        fake_midi::Play(static_cast<PmMessage>(RealTime()));
        return;
      }
      // A piece of n bytes fills at most (n + 3) / 4 + 1 events.
      const auto most = static_cast<size_t>(4 * (room - 1) - 3);
      auto size = static_cast<size_t>(Uniform(1, 16));
      size = std::min({size, sysex_.size() - sent_, most});
      fake_midi::PlaySysex(std::vector<int>(sysex_.begin() + static_cast<long>(sent_),
                                            sysex_.begin() + static_cast<long>(sent_ + size)));
      sent_ += size;
    } else if (Chance(20)) {
      StartSysex();
    } else {
      fake_midi::Play(ShortMessage());
    }
  }

  void PlayBatch(int events) {
    while (fake_midi::Pending() < events) {
      const int room = kMidiInputQueueSize - fake_midi::Pending();
      if (room < 3) break;
      Deliver(room);
    }
  }

  std::string Check(bool closed) {
    for (const PmEvent& event : fake_midi::Read()) {
      read_.Add(event.message);
    }
    for (; readBytesSeen_ < read_.bytes.size(); ++readBytesSeen_) {
      expected_.Add(read_.bytes[readBytesSeen_]);
    }
    for (const PmEvent& event : fake_midi::Written()) written_.Add(event.message);
    if (closed && expected_.inSysex) {
      expected_.bytes.push_back(kEndOfSysex);
      expected_.inSysex = false;
    }
    if (written_.bytes.size() > expected_.bytes.size()) return "more bytes written than read";
    for (; bytesCompared_ < written_.bytes.size(); ++bytesCompared_) {
      if (written_.bytes[bytesCompared_] != expected_.bytes[bytesCompared_]) {
        return "written byte " + std::to_string(bytesCompared_) + " differs: wrote" +
               Around(written_.bytes, bytesCompared_) + ", expected" +
               Around(expected_.bytes, bytesCompared_);
      }
    }
    // Only bytes being regrouped into events of four may wait for the next.
    const size_t waiting = expected_.bytes.size() - written_.bytes.size();
    if (waiting > (closed ? 0u : 3u)) return std::to_string(waiting) + " bytes were not written";
    return SceneInvariants();
  }

  // The bytes from a few before index to a few after it, in hex.
  static std::string Around(const std::vector<int>& bytes, size_t index) {
    std::string text;
    const size_t first = index < 8 ? 0 : index - 8;
    for (size_t i = first; i < bytes.size() && i < index + 8; ++i) {
      char hex[8];
      std::snprintf(hex, sizeof hex, i == index ? " [%02X]" : " %02X", bytes[i]);
      text += hex;
    }
    return text;
  }

  static std::string SceneInvariants() {
    for (std::int32_t level : sceneState.levels) {
      if (level < 0 || level > 0x7F) return "a level of " + std::to_string(level);
    }
    const SceneState initial;
    for (int i = 0; i < 3; ++i) {
      const GLfloat position = sceneState.lightPosition[i];
      if (sceneState.lightAmbient[i] < 0 || sceneState.lightAmbient[i] > 1 ||
          sceneState.lightDiffuse[i] < 0 || sceneState.lightDiffuse[i] > 1 || position < -2 ||
          position > 2) {
        return "a light value out of range";
      }
    }
    if (sceneState.lightAmbient[3] != initial.lightAmbient[3] ||
        sceneState.lightDiffuse[3] != initial.lightDiffuse[3] ||
        sceneState.lightPosition[2] != initial.lightPosition[2] ||
        sceneState.lightPosition[3] != initial.lightPosition[3]) {
      return "a light value that never changes has changed";
    }
    return "";
  }

  std::mt19937 random_;
  std::vector<int> sysex_;
  size_t sent_ = 0;
  WireBytes read_;
  WireBytes written_;
  ValidStream expected_;
  size_t readBytesSeen_ = 0;
  size_t bytesCompared_ = 0;
};

}  // namespace

StreamRun PlayRandomStream(std::uint32_t seed, long events) { return Player(seed).Play(events); }
