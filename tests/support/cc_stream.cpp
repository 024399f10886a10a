// cc_stream RATE SECONDS PIPE: plays RATE control changes a second on
// channel 1 for SECONDS into the MIDI double's input pipe
// (ORBWELL_FAKE_MIDI_INPUT), each at its moment by the clock, as a
// controller sweep sends them, whatever the program is doing; one a line
// in hex. Prints each as the double echoes it ("B0 10 2A 00"), in order.
// The controllers are 16 to 31, which the program does not map.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kFirstController = 16;
constexpr int kControllers = 16;
constexpr int kValues = 128;

}  // namespace

int main(int argc, char** argv) {
  const int rate = argc == 4 ? std::atoi(argv[1]) : 0;
  const int seconds = argc == 4 ? std::atoi(argv[2]) : 0;
  if (rate <= 0 || seconds <= 0) {
    std::fprintf(stderr, "usage: cc_stream RATE SECONDS PIPE\n");
    return 2;
  }
  const int pipe = open(argv[3], O_WRONLY);
  if (pipe < 0) {
    std::perror(argv[3]);
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  const auto spacing = std::chrono::duration<double>(1.0 / rate);
  for (int i = 0; i < rate * seconds; ++i) {
    std::this_thread::sleep_until(
        start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(i * spacing));
    const int controller = kFirstController + (i / kValues) % kControllers;
    char line[16];
    const int length = std::snprintf(line, sizeof line, "B0 %02X %02X\n", controller, i % kValues);
    if (write(pipe, line, static_cast<size_t>(length)) != length) {
      std::perror("cc_stream: write");
      return 1;
    }
    std::printf("B0 %02X %02X 00\n", controller, i % kValues);
  }
  return 0;
}
