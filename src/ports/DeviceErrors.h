// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortCodes.h"

#include <string>

namespace marovane {

// What every back end says about a device, so that the user reads the same
// words whichever MIDI system runs. `direction` is "input" or "output".

// The device chosen from a listing is not there any more when opened.
PortError noSuchDevice(const std::string& device, const char* direction);
// The device of an open port went away.
PortError deviceGone(const std::string& device, const char* direction);
// The JACK server of the open ports went away.
PortError jackServerGone();
// The ALSA sequencer of the open ports can no longer be read.
PortError alsaSequencerLost();

}  // namespace marovane
