// plug_in_latency PLATFORM_DEVICE RAW_DEVICE THROUGH ROUNDS: unplugs and plugs
// in the virtual card PLATFORM_DEVICE (snd_virmidi.0) ROUNDS times, through
// sysfs, as a USB unplug does, and times from the moment the sequencer
// announces its port until the port is connected to Midi Through (THROUGH,
// 14:0) and until a note played on its raw side (RAW_DEVICE,
// /dev/snd/midiC0D0) first reaches Midi Through's listeners, orbwell-midi's
// input among them. A note goes to the raw side every millisecond from the
// moment it can be opened; before the connection, the port drops them.
// Prints the median and maximum of both, in milliseconds.
#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kTimeout{20};
constexpr char kDriver[] = "/sys/bus/platform/drivers/snd_virmidi/";
constexpr unsigned char kNote[] = {0x90, 0x3C, 0x40};

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool IsCardPort(snd_seq_t* seq, const snd_seq_addr_t& address) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_client_info_alloca(&client);
  return snd_seq_get_any_client_info(seq, address.client, client) == 0 &&
         snd_seq_client_info_get_card(client) >= 0;
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

void Report(const char* what, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("%s: median %.1f ms, max %.1f ms over %zu plug-ins\n", what, times[times.size() / 2],
              times.back(), times.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: plug_in_latency PLATFORM_DEVICE RAW_DEVICE THROUGH ROUNDS\n");
    return 2;
  }
  const std::string device = argv[1];
  const char* raw = argv[2];
  const int rounds = std::atoi(argv[4]);
  snd_seq_t* seq = nullptr;
  snd_seq_addr_t through{};
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0 ||
      snd_seq_parse_address(seq, &through, argv[3]) < 0) {
    std::fprintf(stderr, "plug_in_latency: no sequencer port %s\n", argv[3]);
    return 1;
  }
  const int port = snd_seq_create_simple_port(seq, "plug_in_latency", SND_SEQ_PORT_CAP_WRITE,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0 ||
      snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0 ||
      snd_seq_connect_from(seq, port, through.client, through.port) < 0) {
    std::fprintf(stderr, "plug_in_latency: cannot listen to the sequencer\n");
    return 1;
  }
  std::vector<double> toConnection;
  std::vector<double> toNote;
  for (int round = 0; round < rounds; ++round) {
    std::ofstream(kDriver + std::string("unbind")) << device << std::flush;
    while (NextEvent(seq, 200) != nullptr) {
    }
    std::ofstream(kDriver + std::string("bind")) << device << std::flush;
    Clock::time_point appeared{};
    snd_seq_addr_t keyboard{};
    const Clock::time_point deadline = Clock::now() + kTimeout;
    while (appeared == Clock::time_point{} && Clock::now() < deadline) {
      const snd_seq_event_t* event = NextEvent(seq, 1000);
      if (event != nullptr && event->type == SND_SEQ_EVENT_PORT_START &&
          IsCardPort(seq, event->data.addr)) {
        appeared = Clock::now();
        keyboard = event->data.addr;
      }
    }
    int fd = -1;
    double connected = -1;
    double heard = -1;
    while (heard < 0 && Clock::now() < deadline) {
      if (fd < 0) fd = open(raw, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0 && write(fd, kNote, sizeof kNote) != sizeof kNote) {
        std::perror(raw);
        return 1;
      }
      for (const snd_seq_event_t* event = NextEvent(seq, 1); event != nullptr;
           event = NextEvent(seq, 0)) {
        if (event->type == SND_SEQ_EVENT_PORT_SUBSCRIBED &&
            event->data.connect.sender.client == keyboard.client &&
            event->data.connect.dest.client == through.client && connected < 0) {
          connected = MillisecondsSince(appeared);
        } else if (event->type == SND_SEQ_EVENT_NOTEON && heard < 0) {
          heard = MillisecondsSince(appeared);
        }
      }
    }
    if (fd >= 0) close(fd);
    if (heard < 0 || connected < 0) {
      std::fprintf(stderr, "plug_in_latency: round %d: no %s within %lld s\n", round + 1,
                   connected < 0 ? "connection" : "note", static_cast<long long>(kTimeout.count()));
      return 1;
    }
    toConnection.push_back(connected);
    toNote.push_back(heard);
  }
  Report("port appeared -> connected to Midi Through", toConnection);
  Report("port appeared -> first note at Midi Through's listeners", toNote);
  snd_seq_close(seq);
  return 0;
}
