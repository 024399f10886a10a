// plug_in_latency GADGET KEYBOARD ROUNDS NOTES: what a player gets from
// orbwell-midi-autoconnect with a USB keyboard made by the kernel's MIDI
// gadget (GADGET, its configfs folder; KEYBOARD, the start of its sequencer
// client's name), in two figures:
// - plug-in to first note: ROUNDS times the keyboard is unplugged and plugged
//   in again through the gadget's UDC file, a real USB disconnect, and the
//   time runs from the sequencer announcing its port until the launcher
//   reads it, and until a note played on it (one every millisecond from the
//   moment the gadget's raw device opens) first reaches a synthesizer the
//   launcher feeds (a port of this program's, typed as one);
// - the relay's hop: NOTES notes played at random moments, 5 to 50 ms apart,
//   reach both that synthesizer, through the launcher, and a second client
//   of this program's that reads the keyboard itself; the difference of the
//   two arrival times is what the launcher's hop costs.
// Prints the median and maximum of each, in milliseconds.
#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kTimeout{30};
constexpr unsigned char kNote[] = {0x90, 0x3C, 0x40};

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string ClientName(snd_seq_t* seq, int client) {
  snd_seq_client_info_t* info = nullptr;
  snd_seq_client_info_alloca(&info);
  return snd_seq_get_any_client_info(seq, client, info) == 0 ? snd_seq_client_info_get_name(info)
                                                             : "";
}

// Waits up to `timeout` ms for the next event; null when none came.
snd_seq_event_t* NextEvent(snd_seq_t* seq, int timeout) {
  snd_seq_event_t* event = nullptr;
  if (snd_seq_event_input_pending(seq, 1) == 0) {
    pollfd waiting{};
    snd_seq_poll_descriptors(seq, &waiting, 1, POLLIN);
    if (poll(&waiting, 1, timeout) <= 0) return nullptr;
  }
  return snd_seq_event_input(seq, &event) >= 0 ? event : nullptr;
}

// The gadget's own raw MIDI device, made anew at each plug-in.
std::string GadgetDevice() {
  std::ifstream cards("/proc/asound/cards");
  std::string line;
  while (std::getline(cards, line)) {
    if (line.find("MIDI Gadget - f_midi") != std::string::npos) {
      return "/dev/snd/midiC" + std::to_string(std::atoi(line.c_str())) + "D0";
    }
  }
  return "";
}

void Report(const char* what, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("%s: median %.2f ms, max %.2f ms over %zu\n", what, times[times.size() / 2],
              times.back(), times.size());
}

snd_seq_t* OpenClient(const char* name) {
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return nullptr;
  snd_seq_set_client_name(seq, name);
  return seq;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: plug_in_latency GADGET KEYBOARD ROUNDS NOTES\n");
    return 2;
  }
  const std::string udc = std::string(argv[1]) + "/UDC";
  const std::string keyboardName = argv[2];
  const int rounds = std::atoi(argv[3]);
  const int notes = std::atoi(argv[4]);
  std::string controller;
  std::getline(std::ifstream(udc), controller);
  // The synthesizer the launcher feeds, which also hears the announcements.
  snd_seq_t* synth = OpenClient("plug_in_latency synthesizer");
  snd_seq_t* direct = OpenClient("plug_in_latency reader");
  const int synthPort =
      synth == nullptr ? -1
                       : snd_seq_create_simple_port(
                             synth, "synth", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                             SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTHESIZER);
  const int directPort = direct == nullptr
                             ? -1
                             : snd_seq_create_simple_port(direct, "reader", SND_SEQ_PORT_CAP_WRITE,
                                                          SND_SEQ_PORT_TYPE_APPLICATION);
  if (controller.empty() || synthPort < 0 || directPort < 0 ||
      snd_seq_connect_from(synth, synthPort, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) <
          0) {
    std::fprintf(stderr, "plug_in_latency: no plugged-in gadget at %s, or no sequencer\n", argv[1]);
    return 1;
  }
  std::vector<double> toRead;
  std::vector<double> toNote;
  snd_seq_addr_t keyboard{};
  for (int round = 0; round < rounds; ++round) {
    std::ofstream(udc) << "\n" << std::flush;
    while (NextEvent(synth, 300) != nullptr) {
    }
    std::ofstream(udc) << controller << "\n" << std::flush;
    Clock::time_point appeared{};
    const Clock::time_point deadline = Clock::now() + kTimeout;
    while (appeared == Clock::time_point{} && Clock::now() < deadline) {
      const snd_seq_event_t* event = NextEvent(synth, 1000);
      if (event != nullptr && event->type == SND_SEQ_EVENT_PORT_START &&
          ClientName(synth, event->data.addr.client).rfind(keyboardName, 0) == 0) {
        appeared = Clock::now();
        keyboard = event->data.addr;
      }
    }
    int fd = -1;
    double read = -1;
    double heard = -1;
    while (heard < 0 && Clock::now() < deadline) {
      if (fd < 0 && !GadgetDevice().empty())
        fd = open(GadgetDevice().c_str(), O_WRONLY | O_CLOEXEC);
      if (fd >= 0 && write(fd, kNote, sizeof kNote) != sizeof kNote) {
        std::perror("the gadget's raw device");
        return 1;
      }
      for (const snd_seq_event_t* event = NextEvent(synth, 1); event != nullptr;
           event = NextEvent(synth, 0)) {
        if (event->type == SND_SEQ_EVENT_PORT_SUBSCRIBED &&
            event->data.connect.sender.client == keyboard.client &&
            ClientName(synth, event->data.connect.dest.client) == "orbwell-midi-autoconnect" &&
            read < 0) {
          read = MillisecondsSince(appeared);
        } else if (event->type == SND_SEQ_EVENT_NOTEON && heard < 0) {
          heard = MillisecondsSince(appeared);
        }
      }
    }
    if (fd >= 0) close(fd);
    if (heard < 0 || read < 0) {
      std::fprintf(stderr, "plug_in_latency: round %d: no %s within %lld s\n", round + 1,
                   read < 0 ? "reading" : "note", static_cast<long long>(kTimeout.count()));
      return 1;
    }
    toRead.push_back(read);
    toNote.push_back(heard);
  }
  Report("port appeared -> read by the launcher", toRead);
  Report("port appeared -> first note at a synthesizer it feeds", toNote);

  // The hop: the same notes, read straight from the keyboard and through
  // the launcher.
  while (NextEvent(synth, 300) != nullptr) {
  }
  snd_seq_connect_from(direct, directPort, keyboard.client, keyboard.port);
  const int fd = open(GadgetDevice().c_str(), O_WRONLY | O_CLOEXEC);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> gap(5, 50);
  std::vector<double> hops;
  for (int note = 0; note < notes && fd >= 0; ++note) {
    usleep(static_cast<useconds_t>(gap(random) * 1000));
    const Clock::time_point played = Clock::now();
    if (write(fd, kNote, sizeof kNote) != sizeof kNote) break;
    double straight = -1;
    double relayed = -1;
    while ((straight < 0 || relayed < 0) && MillisecondsSince(played) < 1000) {
      pollfd both[2]{};
      snd_seq_poll_descriptors(direct, &both[0], 1, POLLIN);
      snd_seq_poll_descriptors(synth, &both[1], 1, POLLIN);
      poll(both, 2, 100);
      for (const snd_seq_event_t* event = NextEvent(direct, 0); event != nullptr;
           event = NextEvent(direct, 0)) {
        if (event->type == SND_SEQ_EVENT_NOTEON && straight < 0)
          straight = MillisecondsSince(played);
      }
      for (const snd_seq_event_t* event = NextEvent(synth, 0); event != nullptr;
           event = NextEvent(synth, 0)) {
        if (event->type == SND_SEQ_EVENT_NOTEON && relayed < 0) relayed = MillisecondsSince(played);
      }
    }
    if (straight >= 0 && relayed >= 0) hops.push_back(relayed - straight);
  }
  if (hops.empty()) {
    std::fprintf(stderr, "plug_in_latency: no note came both ways\n");
    return 1;
  }
  Report("the launcher's hop (through it, minus straight from the keyboard)", hops);
  snd_seq_close(direct);
  snd_seq_close(synth);
  return 0;
}
