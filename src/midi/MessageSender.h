// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace marovane {

// Where the engine sends its messages: one short MIDI message, values
// handed over exactly as computed, also outside 0..127.
class MessageSender {
public:
    virtual ~MessageSender() = default;
    virtual void send(std::int16_t status, std::int16_t data1, std::int16_t data2) = 0;
};

}  // namespace marovane
