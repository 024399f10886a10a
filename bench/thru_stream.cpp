// thru_stream EVENTS [SEED]: plays a random MIDI stream of at least EVENTS
// events through the MIDI link against the library's test double, with every
// check of the suite's randomised test, and prints how fast it went.
#include "random_midi_stream.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: thru_stream EVENTS [SEED]\n");
    return 2;
  }
  const long events = std::atol(argv[1]);
  const auto seed = argc == 3 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10))
                              : std::random_device{}();
  const auto start = std::chrono::steady_clock::now();
  const StreamRun run = PlayRandomStream(seed, events);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("seed %u: %ld events in %.2f s, %.0f events per second\n", seed, run.eventsRead,
              seconds.count(), static_cast<double>(run.eventsRead) / seconds.count());
  if (!run.failure.empty()) {
    std::printf("FAILED: %s\n", run.failure.c_str());
    return 1;
  }
  return 0;
}
