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

// The bytes a run of events read from the library stands for, read the way
// the library's output reads them: inside a system-exclusive message every
// byte of an event up to an F7, outside one a short message's own length.
struct EventBytes {
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

// A byte stream taken apart: the real-time bytes, each with the number of
// other bytes before it, and the other bytes.
struct RealTimeByte {
  int byte;
  size_t after;
  int run;       // real-time bytes right before it, with no other byte between
  bool inSysex;  // it came inside a system-exclusive message
};

// How many bytes later than read a real-time byte may be written. Inside a
// system-exclusive message every event must start with a data byte (or the
// F7), so a data byte goes ahead of each three real-time bytes in a row.
size_t MostDelay(const RealTimeByte& realTime) {
  return realTime.inSysex ? static_cast<size_t>(realTime.run / 3 + 1) : 0;
}

struct SplitStream {
  std::vector<int> other;
  std::vector<RealTimeByte> realTime;

  void Add(int byte, bool inSysex) {
    if (IsRealTime(byte)) {
      const bool inRun = !realTime.empty() && realTime.back().after == other.size();
      realTime.push_back(
          RealTimeByte{byte, other.size(), inRun ? realTime.back().run + 1 : 0, inSysex});
    } else {
      other.push_back(byte);
    }
  }
};

// A byte stream made valid MIDI: a status byte other than real time ends a
// system-exclusive message with F7, and data bytes that belong to no message
// are left out.
struct ValidStream {
  bool inSysex = false;
  int dataExpected = 0;
  SplitStream bytes;

  void Add(int byte) {
    if (IsRealTime(byte)) {
      bytes.Add(byte, inSysex);
    } else if (IsStatus(byte)) {
      End();
      inSysex = byte == kSysex;
      dataExpected = inSysex ? 0 : DataBytesAfter(byte);
      if (byte != kEndOfSysex) bytes.Add(byte, inSysex);
    } else if (inSysex || dataExpected > 0) {
      bytes.Add(byte, inSysex);
      if (!inSysex) --dataExpected;
    }
  }

  void End() {
    if (inSysex) bytes.Add(kEndOfSysex, true);
    inSysex = false;
  }
};

// The bytes from a few before index to a few after it, in hex.
std::string Around(const std::vector<int>& bytes, size_t index) {
  std::string text;
  const size_t first = index < 8 ? 0 : index - 8;
  for (size_t i = first; i < bytes.size() && i < index + 8; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, i == index ? " [%02X]" : " %02X", bytes[i]);
    text += hex;
  }
  return text;
}

std::string Describe(const RealTimeByte& realTime) {
  char text[64];
  std::snprintf(text, sizeof text, "%02X after %zu bytes", realTime.byte, realTime.after);
  return text;
}

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

  // A short message; real-time messages only where allowed.
  PmMessage ShortMessage(bool realTime) {
    static constexpr int kCommon[] = {0xF1, 0xF2, 0xF3, 0xF6};
    int status;
    const int kind = Uniform(1, realTime ? 100 : 80);
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

  void AddData(int most) {
    const int length = Uniform(0, most);
    for (int i = 0; i < length; ++i) sysex_.push_back(DataByte());
  }

  // A system-exclusive message, complete or cut off. What cuts it off comes
  // next, or in the same pieces: the next message's F0, or (for release 2,
  // which ends the message there) a short message.
  void StartSysex() {
    sysex_.assign(1, kSysex);
    AddData(Chance(20) ? 300 : 24);
    if (!Chance(30)) {
      sysex_.push_back(kEndOfSysex);
    } else if (fake_midi::kRelease2 && Chance(15)) {
      const PmMessage cut = ShortMessage(false);
      for (int i = 0; i <= DataBytesAfter(static_cast<int>(cut & 0xFF)); ++i) {
        sysex_.push_back(static_cast<int>((cut >> (8 * i)) & 0xFF));
      }
    } else if (Chance(30)) {
      sysex_.push_back(kSysex);
      AddData(8);
      if (Chance(50)) sysex_.push_back(kEndOfSysex);
    }
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
      fake_midi::Play(ShortMessage(true));
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
    for (const PmEvent& event : fake_midi::Read()) read_.Add(event.message);
    for (; readBytesSeen_ < read_.bytes.size(); ++readBytesSeen_) {
      expected_.Add(read_.bytes[readBytesSeen_]);
    }
    if (closed) expected_.End();
    for (const int byte : fake_midi::Wire()) written_.Add(byte, false);
    if (std::string failure = CheckOtherBytes(closed); !failure.empty()) return failure;
    if (std::string failure = CheckRealTimeBytes(closed); !failure.empty()) return failure;
    return SceneInvariants();
  }

  // Exactly the expected bytes, in order; only bytes being regrouped into
  // events of four may wait for the next.
  std::string CheckOtherBytes(bool closed) {
    const std::vector<int>& wrote = written_.other;
    const std::vector<int>& expected = expected_.bytes.other;
    if (wrote.size() > expected.size()) return "more bytes written than read";
    for (; bytesCompared_ < wrote.size(); ++bytesCompared_) {
      if (wrote[bytesCompared_] != expected[bytesCompared_]) {
        return "written byte " + std::to_string(bytesCompared_) + " differs: wrote" +
               Around(wrote, bytesCompared_) + ", expected" + Around(expected, bytesCompared_);
      }
    }
    const size_t waiting = expected.size() - wrote.size();
    if (waiting > (closed ? 0u : 3u)) return std::to_string(waiting) + " bytes were not written";
    return "";
  }

  // The expected real-time bytes, once each and in order, each where it was
  // or, inside a system-exclusive message, a little later (MostDelay).
  std::string CheckRealTimeBytes(bool closed) {
    const std::vector<RealTimeByte>& wrote = written_.realTime;
    const std::vector<RealTimeByte>& expected = expected_.bytes.realTime;
    if (wrote.size() > expected.size()) return "more real-time bytes written than read";
    for (; realTimeCompared_ < wrote.size(); ++realTimeCompared_) {
      const RealTimeByte& got = wrote[realTimeCompared_];
      const RealTimeByte& want = expected[realTimeCompared_];
      if (got.byte != want.byte || got.after < want.after ||
          got.after > want.after + MostDelay(want)) {
        return "real-time byte " + std::to_string(realTimeCompared_) + ": wrote " + Describe(got) +
               ", expected " + Describe(want);
      }
    }
    for (size_t i = wrote.size(); i < expected.size(); ++i) {
      const RealTimeByte& want = expected[i];
      if (closed || written_.other.size() > want.after + MostDelay(want)) {
        return "real-time byte " + Describe(want) + " was not written";
      }
    }
    return "";
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
  EventBytes read_;
  ValidStream expected_;
  SplitStream written_;
  size_t readBytesSeen_ = 0;
  size_t bytesCompared_ = 0;
  size_t realTimeCompared_ = 0;
};

}  // namespace

StreamRun PlayRandomStream(std::uint32_t seed, long events) { return Player(seed).Play(events); }
