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

// The message as shown on an input: the first three bytes, missing ones as 0.
ShortMessage fromWire(const unsigned char* bytes, std::size_t size);

}  // namespace marovane
