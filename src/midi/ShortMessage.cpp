// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShortMessage.h"

#include "MidiStatus.h"

#include <algorithm>

namespace marovane {

int wireLength(std::int16_t status) {
    if (status < StatusNoteOff || status > 0xFF) return 0;
    switch (statusFamily(status)) {
    case StatusProgramChange:
    case StatusChannelPressure:
        return 2;
    case StatusSystem:
        break;
    default:  // note off/on, poly pressure, control change, pitch bend
        return 3;
    }
    switch (status) {
    case SystemTimeCode:
    case SystemSongSelect:
        return 2;
    case SystemSongPosition:
        return 3;
    case SystemExclusive:  // needs more than a short message
    case SystemEndOfExclusive:
        return 0;
    default:  // tune request, undefined and real-time bytes
        return 1;
    }
}

std::optional<std::vector<unsigned char>> wireBytes(const ShortMessage& message, std::string& why) {
    const int length = wireLength(message.status);
    if (length == 0) {
        why = "status " + std::to_string(message.status) + " cannot be sent as a short MIDI message";
        return std::nullopt;
    }
    const std::int16_t data[] = {message.data1, message.data2};
    std::vector<unsigned char> bytes{static_cast<unsigned char>(message.status)};
    for (int i = 0; i + 1 < length; ++i) {
        if (data[i] < 0 || data[i] > highestDataValue) {
            why = "data byte " + std::to_string(data[i]) + " of message " + std::to_string(message.status) +
                  " lies outside 0..127";
            return std::nullopt;
        }
        bytes.push_back(static_cast<unsigned char>(data[i]));
    }
    return bytes;
}

bool isCompleteMessage(const unsigned char* bytes, std::size_t size) {
    if (size == 0 || static_cast<std::size_t>(wireLength(bytes[0])) != size) return false;
    return std::all_of(bytes + 1, bytes + size, [](unsigned char data) { return data <= highestDataValue; });
}

ShortMessage fromWire(const unsigned char* bytes, std::size_t size) {
    ShortMessage message;
    if (size > 0) message.status = bytes[0];
    if (size > 1) message.data1 = bytes[1];
    if (size > 2) message.data2 = bytes[2];
    return message;
}

}  // namespace marovane
