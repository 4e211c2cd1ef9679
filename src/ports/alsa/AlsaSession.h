// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiEventCoder.h"
#include "SequencerClient.h"
#include "SequencerReader.h"
#include "TimedSender.h"

#include <memory>

namespace marovane {

// Everything of the one sequencer client, shared by the back end and its open
// connections, so that it lasts as long as any of them.
struct AlsaSession {
    // Throws a PortError when the reader cannot start.
    explicit AlsaSession(std::unique_ptr<SequencerClient> opened)
        : client(std::move(opened)),
          reader(client->handle(), client->inPort()),
          sender(client->handle(), client->queue(), client->tick()) {}

    std::unique_ptr<SequencerClient> client;
    SequencerReader reader;  // after the client: stops before it closes
    TimedSender sender;
    MidiEventCoder encoder;  // for the outputs, on the UI thread
};

}  // namespace marovane
