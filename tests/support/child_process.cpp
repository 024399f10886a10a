#include "child_process.h"

#include <sys/wait.h>

#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <cstdlib>

namespace {

bool ReadSome(int fd, std::string* into) {
  char buffer[512];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n <= 0) return false;
  into->append(buffer, static_cast<size_t>(n));
  return true;
}

}  // namespace

ChildRun RunInChild(const std::function<void()>& body, const std::string& prompt,
                    const std::string& line) {
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) std::abort();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    close(toChild[1]);
    close(fromChild[0]);
    body();
    std::exit(0);
  }
  close(toChild[0]);
  close(fromChild[1]);

  ChildRun run;
  while (run.output.find(prompt) == std::string::npos && ReadSome(fromChild[0], &run.output)) {
  }
  // A moment for a child that does not wait for its input to be gone.
  usleep(100 * 1000);
  int status = 0;
  const pid_t gone = waitpid(pid, &status, WNOHANG);
  run.waitedAtPrompt = run.output.find(prompt) != std::string::npos && gone == 0;
  // The child may be gone already: its status tells, not a SIGPIPE here.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  [[maybe_unused]] const ssize_t written = write(toChild[1], line.data(), line.size());
  std::signal(SIGPIPE, previous);
  close(toChild[1]);
  while (ReadSome(fromChild[0], &run.output)) {
  }
  close(fromChild[0]);
  if (gone == 0) {
    waitpid(pid, &status, 0);
  }
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
