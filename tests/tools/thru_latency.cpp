// thru_latency RAW_DEVICE COUNT: plays COUNT note messages one at a time into
// the raw side of a MIDI port (/dev/snd/midiC0D0, say) and times each until
// its echo comes back out of it. Prints the median, 99th percentile and
// maximum in microseconds, and how many echoes never came back. An echo
// that comes back later than its time limit is passed over when it turns
// up, so one slow frame does not put the later messages out of step.
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
// Frames take over a second where OpenGL is emulated in a slow VM.
constexpr std::chrono::seconds kTimeout{10};
constexpr int kMessageSize = 3;

// Waits until `count` bytes have come, or the deadline; false on a timeout.
bool ReadBytes(int fd, unsigned char* into, int count, Clock::time_point deadline) {
  int have = 0;
  while (have < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd waiting{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t n = read(fd, into + have, static_cast<size_t>(count - have));
    if (n <= 0) return false;
    have += static_cast<int>(n);
  }
  return true;
}

// Reads echoes until the one of `message` comes, passing over late echoes
// of earlier messages; false when it does not come within the time limit.
bool AwaitEcho(int fd, const unsigned char* message, Clock::time_point start) {
  unsigned char echo[kMessageSize];
  while (ReadBytes(fd, echo, kMessageSize, start + kTimeout)) {
    if (std::equal(echo, echo + kMessageSize, message)) return true;
  }
  return false;
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
    const unsigned char message[kMessageSize] = {
        static_cast<unsigned char>(i % 2 == 0 ? 0x90 : 0x80),
        static_cast<unsigned char>(48 + (i / 2) % 25),
        static_cast<unsigned char>(i % 2 == 0 ? 100 : 0)};
    const Clock::time_point start = Clock::now();
    if (write(fd, message, sizeof message) != sizeof message) return 1;
    if (!AwaitEcho(fd, message, start)) {
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
