// Who should hear which keyboard, decided from a picture of the ALSA
// sequencer's ports and connections alone, so that every decision can be
// checked with made-up values.
//
// orbwell-midi-autoconnect never connects a keyboard into Midi Through. It
// reads each keyboard on a relay port of its own and hands every event on:
// straight to orbwell-midi's input port, and through the relay port's
// connections to each synthesizer and each other reader of Midi Through
// that does not hear that keyboard already. A reader that hears it already,
// from the keyboard itself or through Midi Through, is not given it again,
// so every note arrives once wherever it goes.
#pragma once

#include <alsa/asoundlib.h>

#include <compare>
#include <string>
#include <vector>

struct SeqAddress {
  int client = -1;
  int port = -1;
  auto operator<=>(const SeqAddress&) const = default;
};

struct SeqPortFacts {
  SeqAddress address;
  std::string clientName;
  std::string portName;
  bool kernelClient = false;
  int card = -1;            // the sound card of a kernel client, -1 for none
  int pid = -1;             // the process of a user client, -1 where unknown
  unsigned capability = 0;  // SND_SEQ_PORT_CAP_*
  unsigned type = 0;        // SND_SEQ_PORT_TYPE_*
};

struct SeqSubscription {
  SeqAddress from;
  SeqAddress to;
  auto operator<=>(const SeqSubscription&) const = default;
};

struct SeqGraph {
  std::vector<SeqPortFacts> ports;
  std::vector<SeqSubscription> subscriptions;
};

// Where this launcher stands: Midi Through's port, its own client, and the
// process of the orbwell-midi it started.
struct RouteContext {
  SeqAddress through;
  int self = -1;
  int programPid = -1;
};

struct KeyboardRoute {
  SeqAddress keyboard;
  bool toProgram = false;         // each event straight to orbwell-midi's input
  std::vector<SeqAddress> feeds;  // the ports its relay port should be connected to
};

struct RefusedKeyboard {
  SeqAddress keyboard;
  const char* why = "";
};

struct RoutePlan {
  SeqAddress programInput;  // client -1 until orbwell-midi has opened its input
  std::vector<KeyboardRoute> keyboards;
  std::vector<RefusedKeyboard> refused;
};

// The client name every orbwell-midi-autoconnect gives itself; their relay
// ports carry keyboards as Midi Through does.
inline constexpr char kLauncherClientName[] = "orbwell-midi-autoconnect";

// Whether the graph holds the connection from `from` to `to`.
bool Subscribed(const SeqGraph& graph, const SeqAddress& from, const SeqAddress& to);

// A port that plays: a readable MIDI port of a sound card (USB, a MIDI
// interface's input), or a user client's readable port typed as hardware
// and not as an application (bluetoothd's Bluetooth MIDI).
bool IsKeyboard(const SeqPortFacts& port);

// A software synthesizer's input: a user client's writable port typed as a
// synthesizer (SYNTHESIZER: FluidSynth, Qsynth; SYNTH: Yoshimi, ZynAddSubFX).
bool IsSynthesizer(const SeqPortFacts& port);

// Whether anything of `client` hears `keyboard` other than through `self`'s
// relay ports: from the keyboard itself, through Midi Through, or through
// another launcher's relay port of a lower client number (so of two
// launchers, exactly one feeds a synthesizer).
bool HearsKeyboard(const SeqGraph& graph, const RouteContext& context, const SeqAddress& keyboard,
                   int client);

// The routes for every keyboard in the graph. A keyboard whose client
// receives from Midi Through, from orbwell-midi or from a launcher is
// refused: a device that plays back what it receives (a synthesizer's soft
// thru, a cable from an interface's OUT to its IN) would send every note
// round again.
RoutePlan PlanRoutes(const SeqGraph& graph, const RouteContext& context);
