// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "JackClient.h"
#include "ports/MidiBackend.h"

#include <memory>
#include <optional>
#include <string>

namespace marovane {

// Connects `device` to the program's input port. The device must be one of
// the client's listed sources; without one, the port hears what others
// connect to it.
Opened<InputConnection> openJackInput(std::shared_ptr<JackClient> client, const std::optional<std::string>& device,
                                      ReceiveSink& sink, ChangeSink& changes);
// Connects the program's output port to `device`; without one, the port is
// left for others to connect.
Opened<OutputConnection> openJackOutput(std::shared_ptr<JackClient> client, const std::optional<std::string>& device,
                                        ChangeSink& changes);

}  // namespace marovane
