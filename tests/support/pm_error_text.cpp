// pm_error_text ERROR: prints the MIDI library's own text for an error, as
// the program reports it, so that a test compares the program's output with
// what the library it runs against says, whatever its release.
// ERROR is one of the names below; --all prints every one, name first.
#include <portmidi.h>

#include <cstdio>
#include <cstring>

namespace {

struct NamedError {
  const char* name;
  PmError error;
};

constexpr NamedError kErrors[] = {
    {"pmHostError", pmHostError},
    {"pmInvalidDeviceId", pmInvalidDeviceId},
    {"pmBadPtr", pmBadPtr},
    {"pmBufferOverflow", pmBufferOverflow},
    {"pmBadData", pmBadData},
    {"pmInsufficientMemory", pmInsufficientMemory},
    {"pmInternalError", pmInternalError},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--all") == 0) {
    for (const NamedError& named : kErrors) {
      std::printf("%s: %s\n", named.name, Pm_GetErrorText(named.error));
    }
    return 0;
  }
  for (const NamedError& named : kErrors) {
    if (argc == 2 && std::strcmp(argv[1], named.name) == 0) {
      std::printf("%s\n", Pm_GetErrorText(named.error));
      return 0;
    }
  }
  std::fprintf(stderr, "usage: pm_error_text ERROR, one of:");
  for (const NamedError& named : kErrors) std::fprintf(stderr, " %s", named.name);
  std::fprintf(stderr, "\n");
  return 2;
}
