// The ALSA sequencer's ports as the MIDI library sees them, for the tools
// that work on the sequencer beside it.
#pragma once

#include <alsa/asoundlib.h>

#include <string>
#include <vector>

struct SeqPort {
  snd_seq_addr_t address;
  std::string name;
};

// The sequencer's ports in the library's device order: clients, then ports,
// in order, leaving out the system client; a port that can be subscribed to
// for writing gives an output device, then one that can be subscribed to for
// reading an input device. Ports without either are not devices.
std::vector<SeqPort> DevicePorts(snd_seq_t* seq);

// Whether events from `from` are delivered to `to` now.
bool Connected(snd_seq_t* seq, const snd_seq_addr_t& from, const snd_seq_addr_t& to);

// Whether a client called `reader` reads `from` now.
bool ReadByClient(snd_seq_t* seq, const snd_seq_addr_t& from, const char* reader);
