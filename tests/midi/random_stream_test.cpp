// A few hundred thousand random MIDI events through the MIDI link, checked
// after every pump (see random_midi_stream.h). The seed is new each run and
// printed when a check fails; ORBWELL_STREAM_SEED plays a given one again.
#include "child_process.h"
#include "random_midi_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr long kEvents = 300000;

std::uint32_t Seed() {
  if (const char* seed = std::getenv("ORBWELL_STREAM_SEED")) {
    return static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10));
  }
  return std::random_device{}();
}

TEST(RandomStreamTest, EveryEventGoesThroughAsAValidStreamAndTheSceneStaysInRange) {
  const std::uint32_t seed = Seed();
  // In a child: a library error ends the process, and the parent sees how.
  const ChildRun run = RunInChild(
      [seed] {
        const StreamRun stream = PlayRandomStream(seed, kEvents);
        std::printf("%ld events read", stream.eventsRead);
        if (!stream.failure.empty()) {
          std::printf(", then %s", stream.failure.c_str());
          std::exit(1);
        }
      },
      "type ENTER...", "\n");
  EXPECT_EQ(run.exitStatus, 0) << "seed " << seed << " (ORBWELL_STREAM_SEED=" << seed
                               << " plays it again): " << run.output;
}

}  // namespace
