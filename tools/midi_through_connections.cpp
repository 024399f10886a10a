// Where devices 0 and 1 are the kernel's Midi Through port, how to connect
// each other input to it, in the ALSA sequencer's addresses, which the MIDI
// library's names alone do not give.
#include "midi_through_connections.h"

#include <alsa/asoundlib.h>
#include <portmidi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct SeqPort {
  snd_seq_addr_t address;
  std::string name;
};

// The sequencer's ports in the library's device order: clients, then ports,
// in order, leaving out the system client; a port that can be written to
// gives an output device, then one that can be read from an input device.
std::vector<SeqPort> DevicePorts(snd_seq_t* seq) {
  std::vector<SeqPort> ports;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_malloc(&client);
  snd_seq_port_info_malloc(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) == 0) {
    const int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) == 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      const SeqPort entry{*snd_seq_port_info_get_addr(port), snd_seq_port_info_get_name(port)};
      if ((caps & SND_SEQ_PORT_CAP_SUBS_WRITE) != 0) ports.push_back(entry);
      if ((caps & SND_SEQ_PORT_CAP_SUBS_READ) != 0) ports.push_back(entry);
    }
  }
  snd_seq_port_info_free(port);
  snd_seq_client_info_free(client);
  return ports;
}

bool Connected(snd_seq_t* seq, const snd_seq_addr_t& from, const snd_seq_addr_t& to) {
  snd_seq_port_subscribe_t* subscription = nullptr;
  snd_seq_port_subscribe_malloc(&subscription);
  snd_seq_port_subscribe_set_sender(subscription, &from);
  snd_seq_port_subscribe_set_dest(subscription, &to);
  const bool connected = snd_seq_get_port_subscription(seq, subscription) == 0;
  snd_seq_port_subscribe_free(subscription);
  return connected;
}

}  // namespace

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
    } else {
      std::printf("  %d (%s): aconnect %d:%d %d:%d\n", id, info->name, from.client, from.port,
                  through.client, through.port);
    }
  }
  if (!any) std::printf("No other MIDI input is plugged in: plug one in and run this again.\n");
  snd_seq_close(seq);
}
