// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <string>

namespace marovane {

// What the program asks for its own client: every message as it was sent.
// By default PipeWire turns a note-on with velocity 0 into a note-off.
inline constexpr char bytesAsSent[] = "jack.fix-midi-events = false";

// jack_client_open, with these PipeWire client properties for this client
// alone (jackd2's libjack ignores them); null when no server takes it.
jack_client_t* openJackClient(const char* name, jack_options_t options, const std::string& properties);

// The user's properties (a JSON object, with or without its braces, or
// none) followed by `properties`, which PipeWire reads last.
std::string mergedProperties(const char* user, const std::string& properties);

}  // namespace marovane
