// The connections orbwell-midi-autoconnect makes on the ALSA sequencer where
// MIDI devices 0 and 1 are the kernel's Midi Through port: every keyboard
// into Midi Through, so that orbwell-midi hears it, and Midi Through out to a
// software synthesizer that nothing feeds, so that the player hears it too.
// It keeps a record of exactly those, to remove them again at the end and
// leave the player's own connections as they were.
#pragma once

#include <alsa/asoundlib.h>

#include <vector>

struct SeqConnection {
  snd_seq_addr_t from;
  snd_seq_addr_t to;
};

struct KeyboardConnections {
  snd_seq_t* seq = nullptr;
  snd_seq_addr_t through{};         // Midi Through's port
  std::vector<SeqConnection> made;  // still in place, as far as announced
};

// Connects the port at `address` where it is a keyboard not yet connected to
// Midi Through (a readable MIDI port of a sound card: a kernel client with a
// card), or a software synthesizer's input that nothing feeds and whose
// client does not feed Midi Through itself. Anything else, Midi Through and
// the system client among it, is left alone. A connection the sequencer
// refuses is reported on standard error.
void ConnectPort(KeyboardConnections* connections, const snd_seq_addr_t& address);

// ConnectPort for every port there is now.
void ConnectAllPorts(KeyboardConnections* connections);

// The port has gone, and the sequencer has dropped its connections with it.
void ForgetPort(KeyboardConnections* connections, const snd_seq_addr_t& address);

// The connection has been removed, by the player or by the port's end.
void ForgetConnection(KeyboardConnections* connections, const SeqConnection& connection);

// Removes every connection made and not since removed.
void RemoveConnections(KeyboardConnections* connections);
