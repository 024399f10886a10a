#include "midi/midi_loopback.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view kInterface = "ALSA";
constexpr std::string_view kThroughPort = "Midi Through Port-";

// "Midi Through Port-" and the port's number, nothing after it.
bool IsThroughPortName(std::string_view name) {
  if (!name.starts_with(kThroughPort) || name.size() == kThroughPort.size()) return false;
  name.remove_prefix(kThroughPort.size());
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsMidiLoopback(const PmDeviceInfo* output, const PmDeviceInfo* input) {
  return output != nullptr && input != nullptr && output->output && input->input &&
         output->interf == kInterface && input->interf == kInterface &&
         std::string_view(output->name) == input->name && IsThroughPortName(output->name);
}
