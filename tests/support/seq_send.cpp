// seq_send CLIENT:PORT PIECE...: sends each PIECE (hex bytes, "F0 01 02")
// to the ALSA sequencer port as one system-exclusive event, as software on
// the sequencer may, pieces with other status bytes inside among them. A raw
// MIDI port never delivers such pieces, so this is how a test plays them.
#include <alsa/asoundlib.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: seq_send CLIENT:PORT PIECE...\n");
    return 2;
  }
  snd_seq_t* seq = nullptr;
  snd_seq_addr_t destination;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0 ||
      snd_seq_parse_address(seq, &destination, argv[1]) < 0) {
    std::fprintf(stderr, "seq_send: no sequencer port %s\n", argv[1]);
    return 1;
  }
  const int port = snd_seq_create_simple_port(seq, "seq_send", SND_SEQ_PORT_CAP_READ,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  for (int piece = 2; piece < argc; ++piece) {
    std::vector<unsigned char> bytes;
    std::istringstream hex(argv[piece]);
    unsigned value;
    while (hex >> std::hex >> value) bytes.push_back(static_cast<unsigned char>(value));
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_dest(&event, destination.client, destination.port);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_sysex(&event, static_cast<unsigned>(bytes.size()), bytes.data());
    if (snd_seq_event_output_direct(seq, &event) < 0) {
      std::fprintf(stderr, "seq_send: could not send piece %d\n", piece - 1);
      return 1;
    }
  }
  snd_seq_close(seq);
  return 0;
}
