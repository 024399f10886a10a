// A seeded random MIDI stream played through the MIDI link against the MIDI
// library's test double, checked after every batch between two pumps:
// - the library never returned an error (an error ends the process);
// - what the library sent to the device, byte for byte, is what was read,
//   made a valid stream: an F7 where a status byte had cut a
//   system-exclusive message off, and no stray data bytes. A real-time byte
//   inside a system-exclusive message may come one byte later, where the
//   next data byte (or the F7) had to go ahead of it, one byte more for every
//   three real-time bytes in a row;
// - the scene's invariants hold.
// The stream mixes channel messages, system common and real-time messages,
// and system-exclusive messages that are complete, cut off, or carry
// real-time bytes inside, arriving in pieces as a device driver delivers
// them, in batches of 1 to 100 events. A piece may run on into the next
// message's F0, and, for release 2 of the library, which reads them as such,
// into the short message that cuts it off.
#pragma once

#include <cstdint>
#include <string>

struct StreamRun {
  long eventsRead = 0;
  std::string failure;  // empty when every check held
};

// Plays batches until at least events have been read, or a check fails.
StreamRun PlayRandomStream(std::uint32_t seed, long events);
