#include "seq_ports.h"

#include "seq_graph.h"

#include <cstring>

std::vector<SeqPort> DevicePorts(snd_seq_t* seq) {
  std::vector<SeqPort> ports;
  for (const SeqPortFacts& port : ReadSeqGraph(seq).ports) {
    const SeqPort entry{{static_cast<unsigned char>(port.address.client),
                         static_cast<unsigned char>(port.address.port)},
                        port.portName};
    if ((port.capability & SND_SEQ_PORT_CAP_SUBS_WRITE) != 0) ports.push_back(entry);
    if ((port.capability & SND_SEQ_PORT_CAP_SUBS_READ) != 0) ports.push_back(entry);
  }
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

bool ReadByClient(snd_seq_t* seq, const snd_seq_addr_t& from, const char* reader) {
  bool read = false;
  snd_seq_query_subscribe_t* query = nullptr;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_query_subscribe_malloc(&query);
  snd_seq_client_info_malloc(&client);
  snd_seq_query_subscribe_set_root(query, &from);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
  snd_seq_query_subscribe_set_index(query, 0);
  while (!read && snd_seq_query_port_subscribers(seq, query) == 0) {
    read = snd_seq_get_any_client_info(seq, snd_seq_query_subscribe_get_addr(query)->client,
                                       client) == 0 &&
           std::strcmp(snd_seq_client_info_get_name(client), reader) == 0;
    snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
  }
  snd_seq_client_info_free(client);
  snd_seq_query_subscribe_free(query);
  return read;
}
