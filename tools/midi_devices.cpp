// orbwell-midi-devices: lists the MIDI devices in the MIDI library's own
// numbering, the numbering orbwell-midi's fixed devices (output 0, input 1)
// refer to. Exits with status 1 when device 0 is no output or device 1 no
// input, so scripts can ask whether orbwell-midi would find its ports.
//
// On Linux, where devices 0 and 1 are the kernel's Midi Through port, it
// also tells how to connect each other input to it.
#include "midi/midi_loopback.h"

#include <portmidi.h>

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include "midi_through_connections.h"
#endif

int main() {
  Pm_Initialize();
  const int count = Pm_CountDevices();
  for (PmDeviceID id = 0; id < count; ++id) {
    const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
    std::printf("%d: %s %s (%s)%s\n", id, info->output ? "output" : "input ", info->name,
                info->interf,
                id == 0 && info->output  ? "  <- orbwell-midi's output"
                : id == 1 && info->input ? "  <- orbwell-midi's input"
                                         : "");
  }
  if (count == 0) std::printf("no MIDI devices\n");
  const PmDeviceInfo* out = count > 0 ? Pm_GetDeviceInfo(0) : nullptr;
  const PmDeviceInfo* in = count > 1 ? Pm_GetDeviceInfo(1) : nullptr;
  const bool usable = out != nullptr && out->output && in != nullptr && in->input;
#ifndef _WIN32
  if (IsMidiLoopback(out, in)) PrintMidiThroughConnections(count);
#endif
  Pm_Terminate();
#ifdef _WIN32
  // Started with a double-click, the program has a console of its own that
  // closes as it ends: the list stays until it has been read.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) {
    std::printf("\nPress Enter to close this window.\n");
    std::fflush(stdout);
    std::getchar();
  }
#endif
  return usable ? 0 : 1;
}
