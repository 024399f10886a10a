// orbwell-midi-autoconnect: starts orbwell-midi with every keyboard playing
// into it. On a stock Linux desktop MIDI devices 0 and 1 are the kernel's
// Midi Through port, and nothing reaches orbwell-midi until something plays
// into that port. This reads each keyboard itself, at the start and as one
// is plugged in, and hands every event straight to orbwell-midi's input port
// and to each synthesizer and other reader of Midi Through that does not
// hear that keyboard already (keyboard_relay.h). Midi Through itself, and
// every connection somebody else made, stay as they are.
//
// orbwell-midi runs as its child, with this program's standard streams, and
// its exit status becomes this program's. Where devices 0 and 1 are not Midi
// Through, this says so and becomes orbwell-midi itself.
#include "keyboard_relay.h"
#include "midi/midi_loopback.h"
#include "seq_ports.h"

#include <fcntl.h>
#include <poll.h>
#include <portmidi.h>
#include <sys/prctl.h>
#include <sys/resource.h>
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

constexpr char kProgram[] = "orbwell-midi";
constexpr int kProgramNotStarted = 127;
constexpr int kInputPool = 2000;  // events; the kernel's most for one client

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
bool FindMidiThrough(snd_seq_t* seq, SeqAddress* through) {
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
    if (found) *through = {ports[1].address.client, ports[1].address.port};
  }
  Pm_Terminate();
  return found;
}

// A port of our own that the System Announce port tells of every client and
// port that starts, changes or ends, and of every connection made or
// removed. Nobody else may connect to it, and the MIDI library does not list
// it as a device. Returns its number, or -1.
int ListenToAnnouncements(snd_seq_t* seq) {
  const int port = snd_seq_create_simple_port(seq, "announcements",
                                              SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return -1;
  return snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) == 0
             ? port
             : -1;
}

// The program must not inherit the sequencer: its connections and its port
// are this program's.
void KeepFromChildren(snd_seq_t* seq) {
  std::vector<pollfd> fds(static_cast<size_t>(snd_seq_poll_descriptors_count(seq, POLLIN)));
  snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
  for (const pollfd& fd : fds) fcntl(fd.fd, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void BecomeProgram(const std::string& program) {
  signal(SIGPIPE, SIG_DFL);  // ignored here only
  char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
  execv(program.c_str(), arguments);
  std::fprintf(stderr, "%s: cannot start %s: %s\n", kLauncherClientName, program.c_str(),
               std::strerror(errno));
  _exit(kProgramNotStarted);
}

// Hands on every event that has arrived, then, where the sequencer
// announced a change (or lost some of what it announced, the queue having
// overflowed), follows the routes anew once.
void TakeEvents(KeyboardRelay* relay, int announcements) {
  bool changed = false;
  snd_seq_event_t* event = nullptr;
  for (;;) {
    const int result = snd_seq_event_input(relay->seq, &event);
    if (result == -ENOSPC) {
      changed = true;
      continue;
    }
    if (result < 0) break;
    if (event->dest.port == announcements) {
      changed = true;
    } else {
      RelayEvent(relay, event);
    }
  }
  if (changed) FollowRoutes(relay);
}

// Waits for the child to end, handing on events meanwhile and passing it
// TERM, INT, HUP or QUIT sent here. Returns its wait status. Sleeps in
// poll() while nothing happens; should poll() itself fail, it only waits.
int RunBeside(pid_t child, int signals, KeyboardRelay* relay, int announcements) {
  const int seqCount = snd_seq_poll_descriptors_count(relay->seq, POLLIN);
  std::vector<pollfd> waiting(static_cast<size_t>(seqCount) + 1);
  snd_seq_poll_descriptors(relay->seq, waiting.data(), static_cast<unsigned>(seqCount), POLLIN);
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
    TakeEvents(relay, announcements);
  }
}

// Ends as the child ended: with its exit status, or by its signal.
[[noreturn]] void EndAs(int status) {
  if (WIFSIGNALED(status)) {
    const int number = WTERMSIG(status);
    // The child may have dumped its core; this process has nothing to add.
    prctl(PR_SET_DUMPABLE, 0);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
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
  // Left ignored by whoever started this, the child's end would never be
  // told; a closed standard error must not end the relay.
  signal(SIGCHLD, SIG_DFL);
  signal(SIGPIPE, SIG_IGN);
  KeyboardRelay relay;
  if (snd_seq_open(&relay.seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) != 0) {
    relay.seq = nullptr;
  }
  const char* nothing = nullptr;  // why nothing is connected
  int announcements = -1;
  if (relay.seq == nullptr || !FindMidiThrough(relay.seq, &relay.context.through)) {
    nothing =
        "MIDI devices 0 and 1 are not Midi Through here, so nothing is connected;"
        " orbwell-midi plays from device 1 as it is";
  } else if (snd_seq_set_client_name(relay.seq, kLauncherClientName) != 0 ||
             (announcements = ListenToAnnouncements(relay.seq)) < 0) {
    nothing = "cannot follow the MIDI ports as they come and go, so nothing is connected";
  }
  if (nothing != nullptr) {
    std::fprintf(stderr, "%s: %s\n", kLauncherClientName, nothing);
    if (relay.seq != nullptr) snd_seq_close(relay.seq);
    BecomeProgram(program);
  }
  KeepFromChildren(relay.seq);
  relay.context.self = snd_seq_client_id(relay.seq);
  // Room for a dense burst of every keyboard while a change is followed.
  snd_seq_set_client_pool_input(relay.seq, kInputPool);

  // TERM, INT, HUP and QUIT are handed on to the program, and its end is
  // awaited with the sequencer's events: all are taken in one poll().
  sigset_t handled{};
  sigset_t previous{};
  sigemptyset(&handled);
  sigaddset(&handled, SIGCHLD);
  for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    // One ignored by whoever started this (nohup; a shell's background job)
    // stays ignored, here and in the program.
    struct sigaction current {};
    sigaction(number, nullptr, &current);
    if (current.sa_handler != SIG_IGN) sigaddset(&handled, number);
  }
  sigprocmask(SIG_BLOCK, &handled, &previous);
  const int signals = signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t child = signals >= 0 ? fork() : -1;
  if (child == 0) {
    // Without this process the program would hear nothing more: it ends too.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(kProgramNotStarted);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    BecomeProgram(program);
  }
  if (child < 0) {
    std::fprintf(stderr, "%s: cannot start %s: %s\n", kLauncherClientName, program.c_str(),
                 std::strerror(errno));
    snd_seq_close(relay.seq);
    return kProgramNotStarted;
  }
  relay.context.programPid = child;
  FollowRoutes(&relay);
  const int status = RunBeside(child, signals, &relay, announcements);
  CloseRelays(&relay);
  snd_seq_close(relay.seq);
  EndAs(status);
}
