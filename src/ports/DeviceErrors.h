// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortCodes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace marovane {

enum class PortDirection { Input, Output };

// The words of every failure a port reports, each with its code, so that the
// user reads the same words whichever MIDI system runs. A device is named as
// listed.

// "input" or "output".
const char* directionName(PortDirection direction);

// The device chosen from a listing is not there any more when opened.
PortError noSuchDevice(const std::string& device, PortDirection direction);
// DeviceID is outside the listing.
PortError noDeviceNumber(std::int16_t id, PortDirection direction);
// The device of an open port went away.
PortError deviceGone(const std::string& device, PortDirection direction);
// Started while closed, which does nothing.
PortError notOpenToStart(PortDirection direction);
PortError unknownAction(std::int16_t action, PortDirection direction);

// The input's queue held `capacity` messages, and more came.
PortError queueOverflow(std::size_t capacity);
// The MIDI system dropped messages on their way to the input.
PortError systemOverflow();

PortError noJackServer();
// The JACK server of the open ports went away.
PortError jackServerGone();
// The JACK server runs no process cycle while messages wait for it.
PortError jackStalled();
// A JACK server does not answer the program's request to join it.
PortError jackNotAnswering();
// The ALSA sequencer of the open ports can no longer be read.
PortError alsaSequencerLost();

}  // namespace marovane
