#include "keyboard_relay.h"

#include "seq_graph.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

constexpr int kWaitForRoomMs = 100;

std::string Label(const SeqGraph& graph, const SeqAddress& address) {
  std::string label = std::to_string(address.client) + ":" + std::to_string(address.port);
  for (const SeqPortFacts& port : graph.ports) {
    if (port.address == address) return label + " \"" + port.portName + "\"";
  }
  return label;
}

void Tell(const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", kLauncherClientName, line.c_str());
}

int Subscription(snd_seq_t* seq, const SeqAddress& from, const SeqAddress& to, bool connect) {
  snd_seq_port_subscribe_t* subscription = nullptr;
  snd_seq_port_subscribe_malloc(&subscription);
  const snd_seq_addr_t sender{static_cast<unsigned char>(from.client),
                              static_cast<unsigned char>(from.port)};
  const snd_seq_addr_t dest{static_cast<unsigned char>(to.client),
                            static_cast<unsigned char>(to.port)};
  snd_seq_port_subscribe_set_sender(subscription, &sender);
  snd_seq_port_subscribe_set_dest(subscription, &dest);
  const int result = connect ? snd_seq_subscribe_port(seq, subscription)
                             : snd_seq_unsubscribe_port(seq, subscription);
  snd_seq_port_subscribe_free(subscription);
  return result;
}

// Connects the keyboard's relay port to `to`; EBUSY means it is connected.
bool Connect(KeyboardRelay* relay, const SeqGraph& graph, const RelayPort& port,
             const SeqAddress& to) {
  const int result = Subscription(relay->seq, {relay->context.self, port.port}, to, true);
  if (result == 0 || result == -EBUSY) {
    Tell("connected " + Label(graph, port.keyboard) + " to " + Label(graph, to));
    return true;
  }
  Tell("cannot connect " + Label(graph, port.keyboard) + " to " + Label(graph, to) + ": " +
       snd_strerror(result));
  return false;
}

void Disconnect(KeyboardRelay* relay, const SeqGraph& graph, const RelayPort& port,
                const SeqAddress& to) {
  Subscription(relay->seq, {relay->context.self, port.port}, to, false);
  Tell("removed the connection of " + Label(graph, port.keyboard) + " to " + Label(graph, to));
}

void TellProgramRoute(const SeqGraph& graph, const RelayPort& port) {
  Tell((port.toProgram ? "connected " : "removed the connection of ") +
       Label(graph, port.keyboard) + " to orbwell-midi");
}

// A relay port reads one keyboard. Nobody else can connect to it, and the
// MIDI library does not list it as a device.
RelayPort OpenRelayPort(KeyboardRelay* relay, const SeqGraph& graph, const SeqAddress& keyboard) {
  RelayPort port;
  port.keyboard = keyboard;
  const std::string name =
      "relay of " + std::to_string(keyboard.client) + ":" + std::to_string(keyboard.port);
  port.port = snd_seq_create_simple_port(
      relay->seq, name.c_str(),
      SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
      SND_SEQ_PORT_TYPE_APPLICATION);
  if (port.port < 0) {
    Tell("cannot read " + Label(graph, keyboard) + ": " + snd_strerror(port.port));
  }
  return port;
}

void CloseRelayPort(KeyboardRelay* relay, const SeqGraph& graph, const RelayPort& port) {
  if (port.toProgram) {
    RelayPort told = port;
    told.toProgram = false;
    TellProgramRoute(graph, told);
  }
  for (const SeqAddress& feed : port.feeds) {
    Tell("removed the connection of " + Label(graph, port.keyboard) + " to " + Label(graph, feed));
  }
  snd_seq_delete_port(relay->seq, port.port);
}

// Brings one keyboard's relay port in line with its route.
void FollowRoute(KeyboardRelay* relay, const SeqGraph& graph, const KeyboardRoute& route,
                 RelayPort* port) {
  const SeqAddress own{relay->context.self, port->port};
  if (!Subscribed(graph, route.keyboard, own)) {
    const int result = Subscription(relay->seq, route.keyboard, own, true);
    if (result != 0 && result != -EBUSY) {
      Tell("cannot read " + Label(graph, route.keyboard) + ": " + snd_strerror(result));
      return;
    }
  }
  if (route.toProgram != port->toProgram) {
    port->toProgram = route.toProgram;
    TellProgramRoute(graph, *port);
  }
  std::vector<SeqAddress> feeds;
  for (const SeqSubscription& s : graph.subscriptions) {
    if (s.from == own) feeds.push_back(s.to);
  }
  for (const SeqAddress& feed : feeds) {
    if (std::find(route.feeds.begin(), route.feeds.end(), feed) == route.feeds.end()) {
      Disconnect(relay, graph, *port, feed);
    }
  }
  port->feeds.clear();
  for (const SeqAddress& feed : route.feeds) {
    const bool made = std::find(feeds.begin(), feeds.end(), feed) != feeds.end();
    if (made || Connect(relay, graph, *port, feed)) port->feeds.push_back(feed);
  }
}

void TellRefused(KeyboardRelay* relay, const SeqGraph& graph, const RoutePlan& plan) {
  std::vector<SeqAddress> refused;
  for (const RefusedKeyboard& keyboard : plan.refused) {
    refused.push_back(keyboard.keyboard);
    if (std::find(relay->refused.begin(), relay->refused.end(), keyboard.keyboard) ==
        relay->refused.end()) {
      Tell("left out " + Label(graph, keyboard.keyboard) + ": " + keyboard.why);
    }
  }
  relay->refused = refused;
}

// Writes one event now, waiting for room in the sequencer's pool rather
// than dropping it.
void Send(snd_seq_t* seq, snd_seq_event_t* event) {
  while (snd_seq_event_output_direct(seq, event) == -EAGAIN) {
    pollfd room{};
    snd_seq_poll_descriptors(seq, &room, 1, POLLOUT);
    poll(&room, 1, kWaitForRoomMs);
  }
}

}  // namespace

void FollowRoutes(KeyboardRelay* relay) {
  const SeqGraph graph = ReadSeqGraph(relay->seq);
  const RoutePlan plan = PlanRoutes(graph, relay->context);
  relay->programInput = plan.programInput;
  TellRefused(relay, graph, plan);
  std::erase_if(relay->relays, [&](const RelayPort& port) {
    const bool kept =
        std::any_of(plan.keyboards.begin(), plan.keyboards.end(),
                    [&](const KeyboardRoute& r) { return r.keyboard == port.keyboard; });
    if (!kept) CloseRelayPort(relay, graph, port);
    return !kept;
  });
  for (const KeyboardRoute& route : plan.keyboards) {
    auto port = std::find_if(relay->relays.begin(), relay->relays.end(),
                             [&](const RelayPort& p) { return p.keyboard == route.keyboard; });
    if (port == relay->relays.end()) {
      RelayPort opened = OpenRelayPort(relay, graph, route.keyboard);
      if (opened.port < 0) continue;
      relay->relays.push_back(opened);
      port = relay->relays.end() - 1;
    }
    FollowRoute(relay, graph, route, &*port);
  }
}

void RelayEvent(KeyboardRelay* relay, snd_seq_event_t* event) {
  const auto port =
      std::find_if(relay->relays.begin(), relay->relays.end(), [&](const RelayPort& p) {
        return p.port == event->dest.port && p.keyboard.client == event->source.client &&
               p.keyboard.port == event->source.port;
      });
  if (port == relay->relays.end()) return;
  snd_seq_ev_set_source(event, static_cast<unsigned char>(port->port));
  snd_seq_ev_set_direct(event);
  if (!port->feeds.empty()) {
    snd_seq_ev_set_subs(event);
    Send(relay->seq, event);
  }
  if (port->toProgram) {
    snd_seq_ev_set_dest(event, relay->programInput.client, relay->programInput.port);
    Send(relay->seq, event);
  }
}

void CloseRelays(KeyboardRelay* relay) {
  const SeqGraph graph = ReadSeqGraph(relay->seq);
  for (const RelayPort& port : relay->relays) CloseRelayPort(relay, graph, port);
  relay->relays.clear();
}
