// The PortMidi double in the whole program's test build
// (orbwell-midi-fake-midi): the program's MIDI through files named in the
// environment, so that a test or a benchmark can play into it from outside.
// - ORBWELL_FAKE_MIDI_INPUT: a pipe (or file) that input 1 reads, one
//   message a line, its bytes in hex ("90 3C 7F"), from when the input opens.
// - ORBWELL_FAKE_MIDI_OUTPUT: with an input given, every event written to
//   output 0 also goes there, an event a line, its four bytes in hex.
// - ORBWELL_FAKE_MIDI_LOG: every call to the library, a line each; with an
//   input given, Pm_Close's line says whether an OpenGL context was current.
// - ORBWELL_FAKE_MIDI_PUMPS: with an input given, each second the number of
//   pumps (a pump ends with the read that finds the queue empty) and the
//   longest gap between two, for the pace benchmark.
#include "fake_portmidi.h"
#include "fake_portmidi_world.h"

#include <GL/glx.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

int feed = -1;
std::string feedLine;
FILE* echoes = nullptr;

// Each second, how many times the program pumped MIDI (once a frame) and
// the longest gap between two pumps.
struct PumpStats {
  FILE* file = nullptr;
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point secondStart;
  std::chrono::steady_clock::time_point lastPump;
  int pumps = 0;
  double longestGapMs = 0;
};

PumpStats pumpStats;

}  // namespace

namespace fake_midi {

void Logged(const std::string& entry) {
  if (const char* path = std::getenv("ORBWELL_FAKE_MIDI_LOG")) {
    if (FILE* file = std::fopen(path, "a")) {
      std::fprintf(file, "%s\n", entry.c_str());
      std::fclose(file);
    }
  }
}

void InputOpened() {
  if (const char* path = std::getenv("ORBWELL_FAKE_MIDI_INPUT")) {
    feed = open(path, O_RDONLY | O_NONBLOCK);
  }
}

void Polling() {
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
    Play(message);
  }
}

void ReadFoundNothing() {
  if (feed < 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (pumpStats.file == nullptr) {
    const char* path = std::getenv("ORBWELL_FAKE_MIDI_PUMPS");
    if (path == nullptr || (pumpStats.file = std::fopen(path, "w")) == nullptr) return;
    pumpStats.start = pumpStats.secondStart = pumpStats.lastPump = now;
  }
  const std::chrono::duration<double, std::milli> gap = now - pumpStats.lastPump;
  pumpStats.longestGapMs = std::max(pumpStats.longestGapMs, gap.count());
  pumpStats.lastPump = now;
  ++pumpStats.pumps;
  if (now - pumpStats.secondStart >= std::chrono::seconds(1)) {
    const std::chrono::duration<double> at = now - pumpStats.start;
    const std::chrono::duration<double> span = now - pumpStats.secondStart;
    std::fprintf(pumpStats.file, "%.1f s: %.1f pumps per second, longest gap %.1f ms\n", at.count(),
                 pumpStats.pumps / span.count(), pumpStats.longestGapMs);
    std::fflush(pumpStats.file);
    pumpStats.secondStart = now;
    pumpStats.pumps = 0;
    pumpStats.longestGapMs = 0;
  }
}

void Wrote(const PmEvent& event) {
  if (feed < 0) return;
  if (echoes == nullptr) {
    const char* path = std::getenv("ORBWELL_FAKE_MIDI_OUTPUT");
    if (path == nullptr || (echoes = std::fopen(path, "w")) == nullptr) return;
  }
  std::fprintf(echoes, "%02X %02X %02X %02X\n", event.message & 0xFF, (event.message >> 8) & 0xFF,
               (event.message >> 16) & 0xFF, (event.message >> 24) & 0xFF);
  std::fflush(echoes);
}

std::string ClosingNote() {
  if (feed < 0) return "";
  return glXGetCurrentContext() != nullptr ? " context=current" : " context=none";
}

}  // namespace fake_midi
