#include "seq_graph.h"

namespace {

// The connections from `port` to the ports that read it.
void ReadSubscriptions(snd_seq_t* seq, const SeqAddress& port, SeqGraph* graph) {
  snd_seq_query_subscribe_t* query = nullptr;
  snd_seq_query_subscribe_malloc(&query);
  const snd_seq_addr_t root{static_cast<unsigned char>(port.client),
                            static_cast<unsigned char>(port.port)};
  snd_seq_query_subscribe_set_root(query, &root);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
  snd_seq_query_subscribe_set_index(query, 0);
  while (snd_seq_query_port_subscribers(seq, query) == 0) {
    const snd_seq_addr_t* reader = snd_seq_query_subscribe_get_addr(query);
    graph->subscriptions.push_back({port, {reader->client, reader->port}});
    snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
  }
  snd_seq_query_subscribe_free(query);
}

}  // namespace

SeqGraph ReadSeqGraph(snd_seq_t* seq) {
  SeqGraph graph;
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
      SeqPortFacts facts;
      facts.address = {id, snd_seq_port_info_get_port(port)};
      facts.clientName = snd_seq_client_info_get_name(client);
      facts.portName = snd_seq_port_info_get_name(port);
      facts.kernelClient = snd_seq_client_info_get_type(client) == SND_SEQ_KERNEL_CLIENT;
      facts.card = snd_seq_client_info_get_card(client);
      facts.pid = snd_seq_client_info_get_pid(client);
      facts.capability = snd_seq_port_info_get_capability(port);
      facts.type = snd_seq_port_info_get_type(port);
      graph.ports.push_back(facts);
      ReadSubscriptions(seq, facts.address, &graph);
    }
  }
  snd_seq_port_info_free(port);
  snd_seq_client_info_free(client);
  return graph;
}
