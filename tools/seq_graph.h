// The ALSA sequencer as it stands now, read into the plain picture that the
// route decisions take.
#pragma once

#include "midi_routes.h"

// Every port of every client but the System client, with each connection
// between them.
SeqGraph ReadSeqGraph(snd_seq_t* seq);
