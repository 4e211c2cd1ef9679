// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marovane {

// One short MIDI message as the port components show and take it.
struct ShortMessage {
    std::int16_t status = 0;
    std::int16_t data1 = 0;
    std::int16_t data2 = 0;

    bool operator==(const ShortMessage&) const = default;
};

// Number of bytes a message with this status takes on the wire (1..3), or 0
// when the status cannot start a short message (below 128, out of byte
// range, or the system-exclusive bytes 0xF0 and 0xF7).
int wireLength(std::int16_t status);

// The wire bytes of a message, or nothing when a byte would be out of range;
// then why says what was refused.
std::optional<std::vector<unsigned char>> wireBytes(const ShortMessage& message, std::string& why);

// Whether the bytes are one whole short message: a status that starts one,
// followed by exactly the data bytes it puts on the wire. Anything else was
// cut, run together or never sent by anyone (system exclusive included).
bool isCompleteMessage(const unsigned char* bytes, std::size_t size);

// The message as shown on an input: the status, then the data bytes it
// has, missing ones as 0.
ShortMessage fromWire(const unsigned char* bytes, std::size_t size);

}  // namespace marovane
