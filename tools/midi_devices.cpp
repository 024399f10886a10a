// orbwell-midi-devices: lists the MIDI devices in the MIDI library's own
// numbering, the numbering orbwell-midi's fixed devices (output 0, input 1)
// refer to. Exits with status 1 when device 0 is no output or device 1 no
// input, so scripts can ask whether orbwell-midi would find its ports.
//
// Where devices 0 and 1 are the kernel's Midi Through port, as on a stock
// desktop, anything connected to that port plays into orbwell-midi. It then
// prints, for each other input, the command that connects it, with the
// sequencer addresses the library's names alone do not give, or that it is
// connected already.
#include "midi/midi_loopback.h"

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

// For each input but device 1: the command that connects it to the Midi
// Through port, so that it plays into orbwell-midi, or that it is connected.
void PrintConnections(snd_seq_t* seq, int count) {
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
}

}  // namespace

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
  snd_seq_t* seq = nullptr;
  if (IsMidiLoopback(out, in) && snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) == 0) {
    PrintConnections(seq, count);
    snd_seq_close(seq);
  }
  Pm_Terminate();
  return usable ? 0 : 1;
}
