// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace marovane {

// Codes written to a port's Action property.
enum PortAction : std::int16_t {
    ActionOpen = 1,
    ActionClose = 2,
    ActionStart = 4,
    ActionStop = 5,
    ActionNext = 6,  // input only
    ActionSend = 7,  // output only
};

// Values of a port's State property.
enum PortState : std::int16_t {
    StateClosed = 0,
    StateOpen = 1,
    StateStarted = 2,
};

// Codes carried by a port's Error event. The window ignores ErrorNotDone:
// it marks an action that was skipped on purpose (a send on a closed port,
// a message whose bytes cannot go on the wire), which happens in normal play.
enum PortErrorCode : std::int16_t {
    ErrorNoMidiSystem = 1,
    ErrorNoSuchDevice = 2,
    ErrorOpenFailed = 3,
    ErrorSendFailed = 4,
    ErrorQueueFull = 5,
    ErrorUnknownAction = 6,
    ErrorSystemStopped = 7,  // the MIDI system went away while in use
    ErrorNotDone = 8,
    ErrorDeviceGone = 9,  // the device of an open port went away
};

struct PortError {
    std::int16_t code = 0;
    std::string text;
};

}  // namespace marovane
