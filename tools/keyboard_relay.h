// orbwell-midi-autoconnect's relay: each keyboard is read on a port of the
// launcher's own and handed on, event by event, to orbwell-midi's input
// port and, through that port's connections, to the synthesizers and other
// readers of Midi Through that do not hear it already (midi_routes.h).
//
// Everything it connects hangs on its own ports, so it all goes with its
// sequencer client, whatever ends the process: a KILL leaves nothing behind,
// and the keyboards go deaf to orbwell-midi rather than stay connected
// behind its back. Each connection made, removed or refused is told on
// standard error in one line.
#pragma once

#include "midi_routes.h"

#include <alsa/asoundlib.h>

#include <vector>

struct RelayPort {
  SeqAddress keyboard;
  int port = -1;                  // the launcher's port that reads the keyboard
  bool toProgram = false;         // hands each event straight to orbwell-midi
  std::vector<SeqAddress> feeds;  // its connections, as last made
};

struct KeyboardRelay {
  snd_seq_t* seq = nullptr;
  RouteContext context;
  SeqAddress programInput;
  std::vector<RelayPort> relays;
  std::vector<SeqAddress> refused;  // told already, while they stay refused
};

// Reads the sequencer as it stands and brings the relay ports and their
// connections in line with PlanRoutes: a relay port for each keyboard that
// has none, none for a keyboard that has gone or is refused, connections
// made and removed.
void FollowRoutes(KeyboardRelay* relay);

// Hands on an event that arrived on a relay port from its keyboard; anything
// else that reaches the port is dropped.
void RelayEvent(KeyboardRelay* relay, snd_seq_event_t* event);

// Removes every relay port with its connections, telling each.
void CloseRelays(KeyboardRelay* relay);
