// thru_latency RAW_DEVICE COUNT: plays COUNT note messages one at a time into
// the raw side of a MIDI port (/dev/snd/midiC0D0, say) and times each until
// its echo comes back out of it. Prints the median, 99th percentile and
// maximum in microseconds, and how many echoes never came back.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTimeoutMs = 2000;

// Waits for `count` bytes; false on a timeout.
bool ReadBytes(int fd, unsigned char* into, int count) {
  int have = 0;
  while (have < count) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, kTimeoutMs) <= 0) return false;
    const ssize_t n = read(fd, into + have, static_cast<size_t>(count - have));
    if (n <= 0) return false;
    have += static_cast<int>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: thru_latency RAW_DEVICE COUNT\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDWR);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  const int count = std::atoi(argv[2]);
  std::vector<double> micros;
  int lost = 0;
  for (int i = 0; i < count; ++i) {
    // Note-on and note-off in turn, so every echo carries its status byte.
    const unsigned char message[3] = {static_cast<unsigned char>(i % 2 == 0 ? 0x90 : 0x80),
                                      static_cast<unsigned char>(48 + (i / 2) % 25),
                                      static_cast<unsigned char>(i % 2 == 0 ? 100 : 0)};
    unsigned char echo[3];
    const Clock::time_point start = Clock::now();
    if (write(fd, message, sizeof message) != sizeof message) return 1;
    if (!ReadBytes(fd, echo, sizeof echo) || !std::equal(echo, echo + 3, message)) {
      ++lost;
      continue;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  close(fd);
  if (micros.empty()) {
    std::printf("no echo came back\n");
    return 1;
  }
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double q) { return micros[static_cast<size_t>(q * (micros.size() - 1))]; };
  std::printf("thru latency over %zu messages: median %.0f us, p99 %.0f us, max %.0f us; lost %d\n",
              micros.size(), at(0.5), at(0.99), micros.back(), lost);
  return lost == 0 ? 0 : 1;
}
