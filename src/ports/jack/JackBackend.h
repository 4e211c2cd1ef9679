// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <future>
#include <memory>
#include <string>
#include <vector>

namespace marovane {

class JackClient;

// The MIDI system as a JACK client of the program's own, written on libjack:
// one client "Marovane" whose ports "Marovane In" and "Marovane Out" are made
// at the first use and kept until the back end goes, so that connections
// others made to them survive the program's closing and reopening of its
// own. Opening a connection connects a device to those ports; closing it
// removes only what the program connected.
//
// Incoming messages reach the input sinks on a thread of the back end's own,
// never on JACK's real-time thread (see JackClient). Messages sent with a due
// time are placed on the frame of that time, one period later.
//
// Opening a JACK client, having the server run it and a process's first
// listing of ports take tens of milliseconds each, so the back end does
// them on a thread of its own as soon as it is made, and the first use takes
// the client from there instead of keeping the window waiting. Until a
// server is found, every use looks again; after the server went away, the
// next use lets go of the old client and makes a new one.
//
// Use from one thread; only the sinks are called on other threads.
class JackBackend : public MidiBackend {
public:
    JackBackend();
    ~JackBackend() override;

    // A device's id and name are both its full port name, which is unique.
    std::vector<MidiDevice> inputDevices() override;
    std::vector<MidiDevice> outputDevices() override;
    std::string virtualOutputName() override;

    Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;

private:
    // The client, taken from the opening ahead or made now; null with the
    // reason in `why` when no server takes it.
    std::shared_ptr<JackClient> client(PortError& why);
    std::vector<MidiDevice> listed(unsigned long flags);

    std::future<std::shared_ptr<JackClient>> opening_;
    std::shared_ptr<JackClient> client_;
};

}  // namespace marovane
