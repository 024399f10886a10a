#include "keyboard_connections.h"

#include "seq_ports.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

bool Has(unsigned bits, unsigned wanted) { return (bits & wanted) == wanted; }

bool SameAddress(const snd_seq_addr_t& a, const snd_seq_addr_t& b) {
  return a.client == b.client && a.port == b.port;
}

bool IsKeyboard(const snd_seq_client_info_t* client, const snd_seq_port_info_t* port) {
  return snd_seq_client_info_get_type(client) == SND_SEQ_KERNEL_CLIENT &&
         snd_seq_client_info_get_card(client) >= 0 &&
         Has(snd_seq_port_info_get_capability(port), kReadable) &&
         Has(snd_seq_port_info_get_type(port), SND_SEQ_PORT_TYPE_MIDI_GENERIC);
}

bool IsSoftwareSynthesizer(const snd_seq_client_info_t* client, const snd_seq_port_info_t* port) {
  return snd_seq_client_info_get_type(client) == SND_SEQ_USER_CLIENT &&
         Has(snd_seq_port_info_get_capability(port), kWritable) &&
         Has(snd_seq_port_info_get_type(port), SND_SEQ_PORT_TYPE_SYNTHESIZER);
}

// The senders whose events reach `address`.
std::vector<snd_seq_addr_t> SendersTo(snd_seq_t* seq, const snd_seq_addr_t& address) {
  std::vector<snd_seq_addr_t> senders;
  snd_seq_query_subscribe_t* query = nullptr;
  snd_seq_query_subscribe_malloc(&query);
  snd_seq_query_subscribe_set_root(query, &address);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
  snd_seq_query_subscribe_set_index(query, 0);
  while (snd_seq_query_port_subscribers(seq, query) == 0) {
    senders.push_back(*snd_seq_query_subscribe_get_addr(query));
    snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
  }
  snd_seq_query_subscribe_free(query);
  return senders;
}

// A synthesizer that anything feeds already would sound twice; one whose
// client writes into Midi Through would hear itself again and again.
bool MayFeed(const KeyboardConnections* connections, const snd_seq_addr_t& synthesizer) {
  if (!SendersTo(connections->seq, synthesizer).empty()) return false;
  const std::vector<snd_seq_addr_t> intoThrough = SendersTo(connections->seq, connections->through);
  return std::none_of(intoThrough.begin(), intoThrough.end(), [&](const snd_seq_addr_t& sender) {
    return sender.client == synthesizer.client;
  });
}

void Connect(KeyboardConnections* connections, const SeqConnection& connection) {
  snd_seq_port_subscribe_t* subscription = nullptr;
  snd_seq_port_subscribe_malloc(&subscription);
  snd_seq_port_subscribe_set_sender(subscription, &connection.from);
  snd_seq_port_subscribe_set_dest(subscription, &connection.to);
  const int result = snd_seq_subscribe_port(connections->seq, subscription);
  snd_seq_port_subscribe_free(subscription);
  if (result == 0) {
    connections->made.push_back(connection);
  } else if (result != -EBUSY) {  // EBUSY: somebody connected them meanwhile
    std::fprintf(stderr, "orbwell-midi-autoconnect: cannot connect %d:%d to %d:%d: %s\n",
                 connection.from.client, connection.from.port, connection.to.client,
                 connection.to.port, snd_strerror(result));
  }
}

}  // namespace

void ConnectPort(KeyboardConnections* connections, const snd_seq_addr_t& address) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_malloc(&client);
  snd_seq_port_info_malloc(&port);
  if (snd_seq_get_any_client_info(connections->seq, address.client, client) == 0 &&
      snd_seq_get_any_port_info(connections->seq, address.client, address.port, port) == 0) {
    if (IsKeyboard(client, port) && !Connected(connections->seq, address, connections->through)) {
      Connect(connections, {address, connections->through});
    } else if (IsSoftwareSynthesizer(client, port) && MayFeed(connections, address)) {
      Connect(connections, {connections->through, address});
    }
  }
  snd_seq_port_info_free(port);
  snd_seq_client_info_free(client);
}

void ConnectAllPorts(KeyboardConnections* connections) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_malloc(&client);
  snd_seq_port_info_malloc(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(connections->seq, client) == 0) {
    snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(connections->seq, port) == 0) {
      ConnectPort(connections, *snd_seq_port_info_get_addr(port));
    }
  }
  snd_seq_port_info_free(port);
  snd_seq_client_info_free(client);
}

void ForgetPort(KeyboardConnections* connections, const snd_seq_addr_t& address) {
  std::erase_if(connections->made, [&](const SeqConnection& made) {
    return SameAddress(made.from, address) || SameAddress(made.to, address);
  });
}

void ForgetConnection(KeyboardConnections* connections, const SeqConnection& connection) {
  std::erase_if(connections->made, [&](const SeqConnection& made) {
    return SameAddress(made.from, connection.from) && SameAddress(made.to, connection.to);
  });
}

void RemoveConnections(KeyboardConnections* connections) {
  for (const SeqConnection& made : connections->made) {
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_malloc(&subscription);
    snd_seq_port_subscribe_set_sender(subscription, &made.from);
    snd_seq_port_subscribe_set_dest(subscription, &made.to);
    snd_seq_unsubscribe_port(connections->seq, subscription);
    snd_seq_port_subscribe_free(subscription);
  }
  connections->made.clear();
}
