// orbwell-midi-autoconnect: starts orbwell-midi with every keyboard connected
// to it. On a stock Linux desktop MIDI devices 0 and 1 are the kernel's Midi
// Through port, and nothing reaches it until a keyboard is connected to that
// port; an unplug drops the connection. This connects each keyboard there
// while orbwell-midi runs, one plugged in meanwhile too, and a software
// synthesizer that nothing feeds to Midi Through's output, and removes
// exactly those connections when orbwell-midi ends.
//
// orbwell-midi runs as its child, with this program's standard streams, and
// its exit status becomes this program's. Where devices 0 and 1 are not Midi
// Through, this says so and becomes orbwell-midi itself.
#include "keyboard_connections.h"
#include "midi/midi_loopback.h"
#include "seq_ports.h"

#include <fcntl.h>
#include <poll.h>
#include <portmidi.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "orbwell-midi-autoconnect";
constexpr char kProgram[] = "orbwell-midi";
constexpr int kProgramNotStarted = 127;

// orbwell-midi from the folder this program is in: installed, both are in
// the same bin folder; built, both are in the build folder.
std::string ProgramPath() {
  std::string self(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<size_t>(length) >= self.size()) return kProgram;
  self.resize(static_cast<size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + kProgram;
}

// Midi Through's sequencer address, where the MIDI library's devices 0 and 1
// are its two ends, as orbwell-midi will find them.
bool FindMidiThrough(snd_seq_t* seq, snd_seq_addr_t* through) {
  Pm_Initialize();
  const int count = Pm_CountDevices();
  const PmDeviceInfo* output = count > 0 ? Pm_GetDeviceInfo(0) : nullptr;
  const PmDeviceInfo* input = count > 1 ? Pm_GetDeviceInfo(1) : nullptr;
  bool found = false;
  if (output != nullptr && input != nullptr && IsMidiLoopback(output, input)) {
    const std::vector<SeqPort> ports = DevicePorts(seq);
    found = ports.size() >= 2 && ports[0].name == output->name && ports[1].name == input->name &&
            ports[0].address.client == ports[1].address.client &&
            ports[0].address.port == ports[1].address.port;
    if (found) *through = ports[1].address;
  }
  Pm_Terminate();
  return found;
}

// A port of our own that the System Announce port tells of every port that
// starts, changes or ends, and of every connection removed. Nobody else may
// connect to it, and the MIDI library does not list it as a device.
bool ListenToAnnouncements(snd_seq_t* seq) {
  const int port = snd_seq_create_simple_port(seq, "announcements",
                                              SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  return port >= 0 &&
         snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) == 0;
}

// The program must not inherit the sequencer: its connections and its port
// are this program's.
void KeepFromChildren(snd_seq_t* seq) {
  std::vector<pollfd> fds(static_cast<size_t>(snd_seq_poll_descriptors_count(seq, POLLIN)));
  snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
  for (const pollfd& fd : fds) fcntl(fd.fd, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void BecomeProgram(const std::string& program) {
  char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
  execv(program.c_str(), arguments);
  std::fprintf(stderr, "%s: cannot start %s: %s\n", kName, program.c_str(), std::strerror(errno));
  _exit(kProgramNotStarted);
}

// Takes in what the sequencer announced. An input queue that overflowed lost
// some of it: every port is looked at again.
void TakeAnnouncements(KeyboardConnections* connections) {
  snd_seq_event_t* event = nullptr;
  for (;;) {
    const int result = snd_seq_event_input(connections->seq, &event);
    if (result == -ENOSPC) {
      ConnectAllPorts(connections);
      continue;
    }
    if (result < 0) return;
    switch (event->type) {
      case SND_SEQ_EVENT_PORT_START:
      case SND_SEQ_EVENT_PORT_CHANGE: ConnectPort(connections, event->data.addr); break;
      case SND_SEQ_EVENT_PORT_EXIT: ForgetPort(connections, event->data.addr); break;
      case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
        ForgetConnection(connections, {event->data.connect.sender, event->data.connect.dest});
        break;
      default: break;
    }
  }
}

// Waits for the child to end, taking in announcements meanwhile and handing
// it TERM, INT or HUP sent here. Returns its wait status. Sleeps in poll()
// while nothing happens; should poll() itself fail, it only waits.
int RunBeside(pid_t child, int signals, KeyboardConnections* connections) {
  const int seqCount = snd_seq_poll_descriptors_count(connections->seq, POLLIN);
  std::vector<pollfd> waiting(static_cast<size_t>(seqCount) + 1);
  snd_seq_poll_descriptors(connections->seq, waiting.data(), static_cast<unsigned>(seqCount),
                           POLLIN);
  waiting.back() = pollfd{signals, POLLIN, 0};
  for (;;) {
    int status = 0;
    if (poll(waiting.data(), waiting.size(), -1) < 0 && errno != EINTR) {
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      return status;
    }
    signalfd_siginfo received{};
    while (read(signals, &received, sizeof received) == sizeof received) {
      if (received.ssi_signo != SIGCHLD) kill(child, static_cast<int>(received.ssi_signo));
    }
    if (waitpid(child, &status, WNOHANG) == child) return status;
    TakeAnnouncements(connections);
  }
}

// Ends as the child ended: with its exit status, or by its signal.
[[noreturn]] void EndAs(int status) {
  if (WIFSIGNALED(status)) {
    const int number = WTERMSIG(status);
    signal(number, SIG_DFL);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
  }
  std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : EXIT_FAILURE);
}

// The library's own complaints (no sequencer here, say) are orbwell-midi's
// to make: it meets the same and says so in its own words.
void Quiet(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
           const char* /*format*/, ...) {}

}  // namespace

int main() {
  const std::string program = ProgramPath();
  snd_lib_error_set_handler(Quiet);
  KeyboardConnections connections;
  if (snd_seq_open(&connections.seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) != 0) {
    connections.seq = nullptr;
  }
  const char* nothing = nullptr;  // why nothing is connected
  if (connections.seq == nullptr || !FindMidiThrough(connections.seq, &connections.through)) {
    nothing =
        "MIDI devices 0 and 1 are not Midi Through here, so nothing is connected;"
        " orbwell-midi plays from device 1 as it is";
  } else if (snd_seq_set_client_name(connections.seq, kName) != 0 ||
             !ListenToAnnouncements(connections.seq)) {
    nothing = "cannot follow the MIDI ports as they come and go, so nothing is connected";
  }
  if (nothing != nullptr) {
    std::fprintf(stderr, "%s: %s\n", kName, nothing);
    if (connections.seq != nullptr) snd_seq_close(connections.seq);
    BecomeProgram(program);
  }
  KeepFromChildren(connections.seq);
  ConnectAllPorts(&connections);

  // TERM, INT and HUP are handed on to the program, and its end is awaited
  // with the announcements: all are taken in one poll().
  sigset_t handled{};
  sigset_t previous{};
  sigemptyset(&handled);
  for (const int number : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&handled, number);
  sigprocmask(SIG_BLOCK, &handled, &previous);
  const int signals = signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
  const pid_t child = signals >= 0 ? fork() : -1;
  if (child == 0) {
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    BecomeProgram(program);
  }
  if (child < 0) {
    std::fprintf(stderr, "%s: cannot start %s: %s\n", kName, program.c_str(), std::strerror(errno));
    RemoveConnections(&connections);
    return kProgramNotStarted;
  }
  const int status = RunBeside(child, signals, &connections);
  RemoveConnections(&connections);
  snd_seq_close(connections.seq);
  EndAs(status);
}
