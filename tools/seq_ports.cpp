#include "seq_ports.h"

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
