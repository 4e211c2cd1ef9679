// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/SpscRing.h"

#include <jack/jack.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace marovane {

// Short messages only: the program sends nothing longer, and takes in only
// whole short messages (see takeIncoming).
constexpr std::size_t shortMessage = 3;

struct OutgoingMessage {
    jack_time_t due = 0;  // on JACK's microsecond clock; 0 for as soon as possible
    std::uint8_t size = 0;
    std::array<unsigned char, shortMessage> bytes{};
};

struct IncomingMessage {
    std::uint8_t size = 0;
    std::array<unsigned char, shortMessage> bytes{};
};

// Each holds several times what one cycle carries (some 1,400 messages, see
// writeOutgoing): a flood of ten thousand goes in whole.
using OutgoingRing = SpscRing<OutgoingMessage, 32768>;
using IncomingRing = SpscRing<IncomingMessage, 32768>;

// The two halves of a process cycle, on JACK's real-time thread: they never
// lock, allocate or wait.

// Moves the messages of the input port's buffer into the ring; true when
// there were any.
bool takeIncoming(void* portBuffer, IncomingRing& ring);

// Fills the output port's buffer of this cycle from the ring, in order, and
// leaves what does not fit for the next cycle; true when it wrote anything.
// `atOnce`: every message goes now, whatever its due time.
bool writeOutgoing(jack_client_t* client, jack_nframes_t frames, void* portBuffer, OutgoingRing& ring, bool atOnce);

}  // namespace marovane
