// thru_latency FRAME_MS COUNT --raw DEVICE
// thru_latency FRAME_MS COUNT --pipes INPUT OUTPUT
// Plays COUNT note-ons into orbwell-midi at random moments, as a player's
// notes come, and times each until its echo comes back: the gaps between
// notes are drawn evenly from zero to two frame periods (FRAME_MS each), so
// the notes fall anywhere in the frame. Every note differs from those near
// it, and each echo is matched to its note. Prints the median, 90th and 99th
// percentiles and the maximum, in milliseconds and as a share of the frame
// period, and a histogram.
//
// --raw: the raw side of a real MIDI port that is devices 0 and 1
// (/dev/snd/midiC0D0), written and read as bytes.
// --pipes: the program with the MIDI library's test double, its input pipe
// (ORBWELL_FAKE_MIDI_INPUT) and its output (ORBWELL_FAKE_MIDI_OUTPUT),
// written and read as lines of hex bytes.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;
// Frames take over a second where OpenGL is emulated in a slow VM.
constexpr std::chrono::seconds kTimeout{10};
constexpr int kNoteOn = 0x90;
constexpr int kNotes = 25;
constexpr int kFirstNote = 48;
constexpr int kHistogramRows = 20;

struct Port {
  int writeFd = -1;
  int readFd = -1;
  bool hex = false;          // lines of hex bytes, not raw bytes
  std::string pending;       // what has been read and not yet parsed
  int runningStatus = 0;     // a raw port leaves repeated status bytes out
  std::vector<int> message;  // the raw bytes of the message being read
};

// Note-on i: note and velocity together differ from the 3,000 before it.
std::pair<int, int> NoteOf(int i) { return {kFirstNote + i % kNotes, 1 + (i / kNotes) % 127}; }
int KeyOf(int note, int velocity) { return note * 128 + velocity; }

bool Send(Port* port, int note, int velocity) {
  char text[16];
  int length = 0;
  if (port->hex) {
    length = std::snprintf(text, sizeof text, "%02X %02X %02X\n", kNoteOn, note, velocity);
  } else {
    text[0] = static_cast<char>(kNoteOn);
    text[1] = static_cast<char>(note);
    text[2] = static_cast<char>(velocity);
    length = 3;
  }
  return write(port->writeFd, text, static_cast<size_t>(length)) == length;
}

// Reads what has come and hands each note-on echoed to `heard`.
template <typename Heard>
void Receive(Port* port, Heard heard) {
  char buffer[4096];
  const ssize_t n = read(port->readFd, buffer, sizeof buffer);
  if (n <= 0) return;
  if (port->hex) {
    port->pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = port->pending.find('\n')) != std::string::npos) {
      unsigned status = 0, note = 0, velocity = 0;
      if (std::sscanf(port->pending.c_str(), "%x %x %x", &status, &note, &velocity) == 3 &&
          static_cast<int>(status) == kNoteOn) {
        heard(static_cast<int>(note), static_cast<int>(velocity));
      }
      port->pending.erase(0, end + 1);
    }
    return;
  }
  for (ssize_t i = 0; i < n; ++i) {
    const int byte = static_cast<unsigned char>(buffer[i]);
    if (byte >= 0xF8) continue;
    if (byte >= 0x80) {
      port->runningStatus = byte;
      port->message.clear();
      continue;
    }
    port->message.push_back(byte);
    if (port->message.size() == 2) {
      if (port->runningStatus == kNoteOn) heard(port->message[0], port->message[1]);
      port->message.clear();
    }
  }
}

double At(const std::vector<double>& sorted, double q) {
  return sorted[static_cast<size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5)];
}

void Report(std::vector<double> ms, double frameMs, int lost) {
  std::sort(ms.begin(), ms.end());
  std::printf("thru latency over %zu notes at random moments, frame period %.1f ms:\n", ms.size(),
              frameMs);
  const std::pair<const char*, double> figures[] = {
      {"median", At(ms, 0.5)}, {"p90", At(ms, 0.9)}, {"p99", At(ms, 0.99)}, {"max", ms.back()}};
  for (const auto& [name, value] : figures) {
    std::printf("  %-6s %8.1f ms  %5.2f frame\n", name, value, value / frameMs);
  }
  std::printf("  lost %d\n", lost);
  // As PortMidi's latency test prints it: how many fell in each span.
  const double width = std::max(1.0, std::ceil(ms.back() / kHistogramRows));
  std::printf("histogram (ms: notes)\n");
  for (double from = 0; from <= ms.back(); from += width) {
    const auto count = std::count_if(ms.begin(), ms.end(),
                                     [&](double v) { return v >= from && v < from + width; });
    std::printf(
        "  %6.0f-%-6.0f %4td %s\n", from, from + width, count,
        std::string(static_cast<size_t>(count * 50 / static_cast<long>(ms.size())), '#').c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  Port port;
  const bool raw = argc == 5 && std::strcmp(argv[3], "--raw") == 0;
  const bool pipes = argc == 6 && std::strcmp(argv[3], "--pipes") == 0;
  if (!raw && !pipes) {
    std::fprintf(stderr,
                 "usage: thru_latency FRAME_MS COUNT --raw DEVICE\n"
                 "       thru_latency FRAME_MS COUNT --pipes INPUT OUTPUT\n");
    return 2;
  }
  const double frameMs = std::atof(argv[1]);
  const int count = std::atoi(argv[2]);
  if (raw) {
    port.writeFd = port.readFd = open(argv[4], O_RDWR | O_NONBLOCK);
  } else {
    port.hex = true;
    port.readFd = open(argv[5], O_RDONLY | O_NONBLOCK);
    port.writeFd = open(argv[4], O_WRONLY);
  }
  if (port.writeFd < 0 || port.readFd < 0 || frameMs <= 0 || count <= 0) {
    std::perror(argv[4]);
    return 1;
  }
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> gap(0.0, 2.0 * frameMs);
  std::map<int, Clock::time_point> inFlight;
  std::vector<double> latencies;
  int sent = 0;
  Clock::time_point next = Clock::now();
  Clock::time_point lastSent = next;
  const auto heard = [&](int note, int velocity) {
    const auto found = inFlight.find(KeyOf(note, velocity));
    if (found == inFlight.end()) return;  // late, after its time limit
    latencies.push_back(Milliseconds(Clock::now() - found->second).count());
    inFlight.erase(found);
  };
  while (sent < count || (!inFlight.empty() && Clock::now() < lastSent + kTimeout)) {
    const Clock::time_point now = Clock::now();
    if (sent < count && now >= next) {
      const auto [note, velocity] = NoteOf(sent);
      if (!Send(&port, note, velocity)) {
        std::perror("write");
        return 1;
      }
      inFlight[KeyOf(note, velocity)] = lastSent = Clock::now();
      ++sent;
      next += std::chrono::duration_cast<Clock::duration>(Milliseconds(gap(random)));
    }
    std::erase_if(inFlight, [&](const auto& note) { return now - note.second > kTimeout; });
    const Clock::time_point until = sent < count ? next : lastSent + kTimeout;
    const int wait = static_cast<int>(std::max(0.0, Milliseconds(until - Clock::now()).count()));
    pollfd readable{port.readFd, POLLIN, 0};
    if (poll(&readable, 1, wait) > 0) Receive(&port, heard);
  }
  const int lost = count - static_cast<int>(latencies.size());
  if (latencies.empty()) {
    std::printf("no echo came back\n");
    return 1;
  }
  Report(latencies, frameMs, lost);
  return lost == 0 ? 0 : 1;
}
