// Who hears which keyboard, from made-up pictures of the sequencer: the
// desktops players have, with Midi Through at 14:0, a launcher at 130 and
// the orbwell-midi it started (process 500) at 131.
#include "midi_routes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned kGeneric = SND_SEQ_PORT_TYPE_MIDI_GENERIC;
constexpr unsigned kApp = SND_SEQ_PORT_TYPE_APPLICATION;

constexpr SeqAddress kThrough{14, 0};
constexpr SeqAddress kUsb{20, 0};         // a USB keyboard
constexpr SeqAddress kBluetooth{128, 0};  // bluetoothd's
constexpr SeqAddress kFluid{129, 0};      // FluidSynth
constexpr SeqAddress kRelay{130, 1};      // this launcher's relay port for the USB keyboard
constexpr SeqAddress kProgram{131, 1};    // orbwell-midi's input
constexpr SeqAddress kBridge{132, 0};     // PipeWire-RT-Event
constexpr SeqAddress kOtherLauncher{127, 1};

SeqPortFacts Kernel(SeqAddress a, int card, unsigned caps, unsigned type, const char* name) {
  return {a, name, name, true, card, -1, caps, type};
}
SeqPortFacts User(SeqAddress a, const char* client, unsigned caps, unsigned type, int pid = 99) {
  return {a, client, client, false, -1, pid, caps, type};
}

// A stock desktop: Midi Through, a USB keyboard, a launcher and its program.
SeqGraph StockDesktop() {
  SeqGraph graph;
  graph.ports = {
      Kernel(kThrough, -1, kReadable | kWritable, kGeneric | kApp, "Midi Through"),
      Kernel(kUsb, 1, kReadable | kWritable, kGeneric | SND_SEQ_PORT_TYPE_HARDWARE, "Keystation"),
      User(kRelay, kLauncherClientName, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE, kApp, 400),
      User(kProgram, "Client-131", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE, kGeneric | kApp,
           500),
  };
  graph.subscriptions = {{kThrough, kProgram}, {kUsb, kRelay}};
  return graph;
}
constexpr RouteContext kContext{kThrough, 130, 500};

SeqGraph With(SeqGraph graph, std::vector<SeqPortFacts> ports,
              std::vector<SeqSubscription> subscriptions) {
  graph.ports.insert(graph.ports.end(), ports.begin(), ports.end());
  graph.subscriptions.insert(graph.subscriptions.end(), subscriptions.begin(), subscriptions.end());
  return graph;
}

const KeyboardRoute* RouteOf(const RoutePlan& plan, SeqAddress keyboard) {
  for (const KeyboardRoute& route : plan.keyboards) {
    if (route.keyboard == keyboard) return &route;
  }
  return nullptr;
}

TEST(MidiRoutesTest, KeyboardsAndSynthesizersAreKnownByTheirPorts) {
  struct Case {
    const char* what;
    SeqPortFacts port;
    bool keyboard;
    bool synthesizer;
  };
  const Case cases[] = {
      {"USB keyboard", Kernel(kUsb, 1, kReadable | kWritable, kGeneric, "USB"), true, false},
      {"Midi Through (no card)", Kernel(kThrough, -1, kReadable | kWritable, kGeneric, "MT"), false,
       false},
      {"Bluetooth keyboard",
       User(kBluetooth, "bluetoothd", kReadable, kGeneric | SND_SEQ_PORT_TYPE_HARDWARE), true,
       false},
      {"a program typed hardware and application",
       User(kBluetooth, "app", kReadable, SND_SEQ_PORT_TYPE_HARDWARE | kApp), false, false},
      {"a software keyboard", User(kBluetooth, "vmpk", kReadable, kGeneric | kApp), false, false},
      {"FluidSynth",
       User(kFluid, "FLUID", kWritable, kGeneric | SND_SEQ_PORT_TYPE_SYNTHESIZER | kApp), false,
       true},
      {"Yoshimi", User(kFluid, "yoshimi", kWritable, SND_SEQ_PORT_TYPE_SYNTH), false, true},
      {"TiMidity++", User(kFluid, "TiMidity", kWritable, kGeneric), false, false},
      {"a synthesizer nobody may connect to",
       User(kFluid, "x", SND_SEQ_PORT_CAP_WRITE, SND_SEQ_PORT_TYPE_SYNTHESIZER), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsKeyboard(c.port), c.keyboard) << c.what;
    EXPECT_EQ(IsSynthesizer(c.port), c.synthesizer) << c.what;
  }
}

TEST(MidiRoutesTest, EveryListenerHearsEachKeyboardOnce) {
  const SeqPortFacts fluid =
      User(kFluid, "FLUID Synth", kWritable, kGeneric | SND_SEQ_PORT_TYPE_SYNTHESIZER | kApp);
  const SeqPortFacts fluid2{
      {kFluid.client, 1},           "FLUID Synth", "port 2", false, -1, 99, kWritable,
      SND_SEQ_PORT_TYPE_SYNTHESIZER};
  const SeqPortFacts bridge =
      User(kBridge, "PipeWire-RT-Event", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE, kApp);
  const SeqPortFacts interfaceOut = Kernel({24, 0}, 2, kWritable, kGeneric, "USB MIDI Interface");
  struct Case {
    const char* world;
    SeqGraph graph;
    bool toProgram;
    std::vector<SeqAddress> feeds;
  };
  const Case cases[] = {
      {"nothing else", StockDesktop(), true, {}},
      {"a synthesizer nobody feeds, with two ports",
       With(StockDesktop(), {fluid, fluid2}, {}),
       true,
       {kFluid}},
      {"a synthesizer that connects itself to every keyboard and to Midi Through",
       With(StockDesktop(), {fluid}, {{kUsb, kFluid}, {kThrough, kFluid}}),
       true,
       {}},
      {"PipeWire's bridge subscribed to the synthesizer",
       With(StockDesktop(), {fluid, bridge},
            {{kBridge, kFluid}, {kUsb, kBridge}, {kThrough, kBridge}}),
       true,
       {kFluid}},
      {"the keyboard connected to Midi Through by hand, Midi Through to the synthesizer",
       With(StockDesktop(), {fluid}, {{kUsb, kThrough}, {kThrough, kFluid}}),
       false,
       {}},
      {"the keyboard connected to Midi Through by hand, the synthesizer fed by nothing",
       With(StockDesktop(), {fluid}, {{kUsb, kThrough}}),
       false,
       {kFluid}},
      {"a hardware synthesizer on Midi Through, as the README routes it",
       With(StockDesktop(), {interfaceOut}, {{kThrough, {24, 0}}}),
       true,
       {{24, 0}}},
      {"the synthesizer fed by this launcher already",
       With(StockDesktop(), {fluid}, {{kRelay, kFluid}}),
       true,
       {kFluid}},
      {"another launcher of a lower number feeds the synthesizer",
       With(StockDesktop(),
            {fluid, User(kOtherLauncher, kLauncherClientName,
                         SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE, kApp)},
            {{kUsb, kOtherLauncher}, {kOtherLauncher, kFluid}}),
       true,
       {}},
      {"another launcher of a higher number feeds the synthesizer",
       With(StockDesktop(),
            {fluid, User({140, 1}, kLauncherClientName,
                         SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE, kApp)},
            {{kUsb, {140, 1}}, {{140, 1}, kFluid}}),
       true,
       {kFluid}},
  };
  for (const Case& c : cases) {
    const RoutePlan plan = PlanRoutes(c.graph, kContext);
    EXPECT_EQ(plan.programInput, kProgram) << c.world;
    const KeyboardRoute* route = RouteOf(plan, kUsb);
    ASSERT_NE(route, nullptr) << c.world;
    EXPECT_EQ(route->toProgram, c.toProgram) << c.world;
    EXPECT_EQ(route->feeds, c.feeds) << c.world;
  }
}

TEST(MidiRoutesTest, NothingGoesToAProgramThatHasNotOpenedItsInput) {
  SeqGraph graph = StockDesktop();
  graph.subscriptions = {{kUsb, kRelay}};
  const RoutePlan plan = PlanRoutes(graph, kContext);
  EXPECT_EQ(plan.programInput.client, -1);
  ASSERT_EQ(plan.keyboards.size(), 1U);
  EXPECT_FALSE(plan.keyboards[0].toProgram);
}

TEST(MidiRoutesTest, AKeyboardThatCouldPlayItsInputBackIsLeftOut) {
  const SeqAddress softThruIn{24, 0};
  const SeqAddress softThruOut{24, 1};
  const SeqPortFacts synthesizerKeyboard =
      Kernel(softThruIn, 2, kReadable | kWritable, kGeneric, "Digital piano");
  const SeqPortFacts itsOtherPort = Kernel(softThruOut, 2, kWritable, kGeneric, "Digital piano 2");
  struct Case {
    const char* world;
    std::vector<SeqSubscription> subscriptions;
    std::string why;
  };
  const Case cases[] = {
      {"Midi Through feeds it", {{kThrough, softThruOut}}, "Midi Through"},
      {"orbwell-midi feeds it", {{{131, 0}, softThruIn}}, "orbwell-midi"},
      {"this launcher feeds it", {{kRelay, softThruOut}}, "orbwell-midi"},
  };
  for (const Case& c : cases) {
    const RoutePlan plan = PlanRoutes(
        With(StockDesktop(), {synthesizerKeyboard, itsOtherPort}, c.subscriptions), kContext);
    ASSERT_EQ(plan.refused.size(), 1U) << c.world;
    EXPECT_EQ(plan.refused[0].keyboard, softThruIn) << c.world;
    EXPECT_NE(std::string(plan.refused[0].why).find(c.why), std::string::npos) << c.world;
    EXPECT_EQ(RouteOf(plan, softThruIn), nullptr) << c.world;
    EXPECT_NE(RouteOf(plan, kUsb), nullptr) << c.world;
  }
}

}  // namespace
