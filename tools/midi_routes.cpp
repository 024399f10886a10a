#include "midi_routes.h"

#include <algorithm>

namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

bool Has(unsigned bits, unsigned wanted) { return (bits & wanted) == wanted; }

const SeqPortFacts* FindPort(const SeqGraph& graph, const SeqAddress& address) {
  for (const SeqPortFacts& port : graph.ports) {
    if (port.address == address) return &port;
  }
  return nullptr;
}

bool IsLauncherClient(const SeqGraph& graph, int client) {
  return std::any_of(graph.ports.begin(), graph.ports.end(), [&](const SeqPortFacts& port) {
    return port.address.client == client && port.clientName == kLauncherClientName;
  });
}

// Whether `client` receives from anything that `isSource` picks.
template <typename Predicate>
bool ClientReceivesFrom(const SeqGraph& graph, int client, Predicate isSource) {
  return std::any_of(
      graph.subscriptions.begin(), graph.subscriptions.end(),
      [&](const SeqSubscription& s) { return s.to.client == client && isSource(s.from); });
}

// The client of the orbwell-midi this launcher started, -1 while it has none.
int ProgramClient(const SeqGraph& graph, const RouteContext& context) {
  for (const SeqPortFacts& port : graph.ports) {
    if (context.programPid > 0 && port.pid == context.programPid && !port.kernelClient) {
      return port.address.client;
    }
  }
  return -1;
}

// orbwell-midi's input: its port that Midi Through feeds.
SeqAddress ProgramInput(const SeqGraph& graph, const RouteContext& context, int program) {
  for (const SeqSubscription& s : graph.subscriptions) {
    if (s.from == context.through && s.to.client == program) return s.to;
  }
  return {};
}

const char* WhyRefused(const SeqGraph& graph, const RouteContext& context, int keyboardClient,
                       int program) {
  if (ClientReceivesFrom(graph, keyboardClient,
                         [&](const SeqAddress& from) { return from == context.through; })) {
    return "it receives from Midi Through, and what it plays back would come round again";
  }
  if (ClientReceivesFrom(graph, keyboardClient, [&](const SeqAddress& from) {
        return from.client == program || IsLauncherClient(graph, from.client);
      })) {
    return "it receives from orbwell-midi, and what it plays back would come round again";
  }
  return nullptr;
}

// The ports a keyboard may be handed to through a relay port: each reader of
// Midi Through that takes connections, and each synthesizer client's first
// synthesizer port, one port per client.
std::vector<SeqAddress> Listeners(const SeqGraph& graph, const RouteContext& context, int program) {
  std::vector<SeqAddress> listeners;
  const auto mayTake = [&](const SeqPortFacts& port) {
    return port.address.client != context.self && port.address.client != program &&
           port.address.client != context.through.client &&
           !IsLauncherClient(graph, port.address.client) &&
           std::none_of(listeners.begin(), listeners.end(), [&](const SeqAddress& taken) {
             return taken.client == port.address.client;
           });
  };
  for (const SeqSubscription& s : graph.subscriptions) {
    const SeqPortFacts* reader = FindPort(graph, s.to);
    if (s.from == context.through && reader != nullptr && Has(reader->capability, kWritable) &&
        mayTake(*reader)) {
      listeners.push_back(s.to);
    }
  }
  for (const SeqPortFacts& port : graph.ports) {
    if (IsSynthesizer(port) && mayTake(port)) listeners.push_back(port.address);
  }
  return listeners;
}

}  // namespace

bool Subscribed(const SeqGraph& graph, const SeqAddress& from, const SeqAddress& to) {
  return std::find(graph.subscriptions.begin(), graph.subscriptions.end(),
                   SeqSubscription{from, to}) != graph.subscriptions.end();
}

bool IsKeyboard(const SeqPortFacts& port) {
  if (!Has(port.capability, kReadable)) return false;
  if (port.kernelClient) {
    return port.card >= 0 && Has(port.type, SND_SEQ_PORT_TYPE_MIDI_GENERIC);
  }
  return Has(port.type, SND_SEQ_PORT_TYPE_HARDWARE) &&
         !Has(port.type, SND_SEQ_PORT_TYPE_APPLICATION);
}

bool IsSynthesizer(const SeqPortFacts& port) {
  return !port.kernelClient && Has(port.capability, kWritable) &&
         (port.type & (SND_SEQ_PORT_TYPE_SYNTHESIZER | SND_SEQ_PORT_TYPE_SYNTH)) != 0;
}

bool HearsKeyboard(const SeqGraph& graph, const RouteContext& context, const SeqAddress& keyboard,
                   int client) {
  const auto carries = [&](const SeqAddress& relay) {
    const bool relays = relay == context.through ||
                        (relay.client < context.self && IsLauncherClient(graph, relay.client));
    return relays && Subscribed(graph, keyboard, relay);
  };
  return ClientReceivesFrom(
      graph, client, [&](const SeqAddress& from) { return from == keyboard || carries(from); });
}

RoutePlan PlanRoutes(const SeqGraph& graph, const RouteContext& context) {
  RoutePlan plan;
  const int program = ProgramClient(graph, context);
  plan.programInput = ProgramInput(graph, context, program);
  const std::vector<SeqAddress> listeners = Listeners(graph, context, program);
  for (const SeqPortFacts& port : graph.ports) {
    if (!IsKeyboard(port)) continue;
    if (const char* why = WhyRefused(graph, context, port.address.client, program)) {
      plan.refused.push_back({port.address, why});
      continue;
    }
    KeyboardRoute route;
    route.keyboard = port.address;
    route.toProgram = plan.programInput.client >= 0 &&
                      !HearsKeyboard(graph, context, port.address, plan.programInput.client);
    for (const SeqAddress& listener : listeners) {
      if (listener.client != port.address.client &&
          !HearsKeyboard(graph, context, port.address, listener.client)) {
        route.feeds.push_back(listener);
      }
    }
    plan.keyboards.push_back(route);
  }
  return plan;
}
