// A seeded random MIDI stream played through the MIDI link against the MIDI
// library's test double, checked after every batch between two pumps:
// - the library never returned an error (an error ends the process);
// - what was written, byte for byte, is what was read, made a valid stream:
//   an F7 where a status byte had cut a system-exclusive message off, and no
//   stray data bytes;
// - the scene's invariants hold.
// The stream mixes channel messages, system common and real-time messages,
// and system-exclusive messages that are complete, cut off, or carry
// real-time bytes inside, arriving in pieces as a device driver delivers
// them, in batches of 1 to 100 events.
#pragma once

#include <cstdint>
#include <string>

struct StreamRun {
  long eventsRead = 0;
  std::string failure;  // empty when every check held
};

// Plays batches until at least events have been read, or a check fails.
StreamRun PlayRandomStream(std::uint32_t seed, long events);
