// Where devices 0 and 1 are the kernel's Midi Through port, how to connect
// each other input to it, in the ALSA sequencer's addresses, which the MIDI
// library's names alone do not give.
#include "midi_through_connections.h"

#include "midi_routes.h"
#include "seq_ports.h"

#include <portmidi.h>

#include <cstdio>

void PrintMidiThroughConnections(int count) {
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) != 0) return;
  const std::vector<SeqPort> ports = DevicePorts(seq);
  // A port that came or went since the library looked would misplace the
  // addresses: better no command than a wrong one.
  bool sameTable = static_cast<int>(ports.size()) == count;
  for (PmDeviceID id = 0; sameTable && id < count; ++id) {
    sameTable = ports[static_cast<size_t>(id)].name == Pm_GetDeviceInfo(id)->name;
  }
  std::printf(
      "\nDevices 0 and 1 are Midi Through: it hands orbwell-midi everything sent to it,\n"
      "and orbwell-midi passes nothing back to it.\n");
  if (!sameTable) {
    std::printf("The MIDI ports changed while they were listed: run this again.\n");
    snd_seq_close(seq);
    return;
  }
  const snd_seq_addr_t through = ports[1].address;
  bool any = false;
  for (PmDeviceID id = 2; id < count; ++id) {
    const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
    if (!info->input) continue;
    if (!any) std::printf("To play an input into orbwell-midi, connect it to Midi Through:\n");
    any = true;
    const snd_seq_addr_t from = ports[static_cast<size_t>(id)].address;
    if (Connected(seq, from, through)) {
      std::printf("  %d (%s): connected\n", id, info->name);
    } else if (ReadByClient(seq, from, kLauncherClientName)) {
      std::printf("  %d (%s): played into orbwell-midi by orbwell-midi-autoconnect\n", id,
                  info->name);
    } else {
      std::printf("  %d (%s): aconnect %d:%d %d:%d\n", id, info->name, from.client, from.port,
                  through.client, through.port);
    }
  }
  if (!any) std::printf("No other MIDI input is plugged in: plug one in and run this again.\n");
  snd_seq_close(seq);
}
