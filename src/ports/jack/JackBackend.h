// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ServerCalls.h"
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
// them on a thread of its own (ServerCalls) as soon as it is made, and the
// first use takes the client from there. Whatever waits for the server runs
// on that thread, and the UI thread waits for it 100 ms at most: a server
// that stands still never freezes the window. Until a server is found,
// every use looks again; after the server went away, the next use lets go
// of the old client and makes a new one.
//
// Use from one thread; only the sinks are called on other threads.
class JackBackend : public MidiBackend {
public:
    JackBackend();
    // Waits, unseen once the windows are gone, for the client to close,
    // after what was sent last has been written: 1 s at most, and not at all
    // when the server stands still.
    ~JackBackend() override;

    // Whether a server runs the client; one that does not answer within
    // 100 ms counts as none.
    bool available() override;
    // A device's id and name are both its full port name, which is unique.
    std::vector<MidiDevice> inputDevices() override;
    std::vector<MidiDevice> outputDevices() override;
    std::string virtualOutputName() override;

    Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;
    Opened<InputConnection> openVirtualInput(ReceiveSink& sink, ChangeSink& changes) override;

private:
    struct Opening {
        std::shared_ptr<JackClient> client;
        PortError why;
    };

    // The client, taken from the opening ahead or made now; null with the
    // reason in `why` when no server takes it, or none answers in time.
    std::shared_ptr<JackClient> client(PortError& why);
    void startOpening();
    // Takes the client of the opening under way once the server answered
    // it, waiting a little at most; false while it has not.
    bool takeOpening(PortError& why);
    std::vector<MidiDevice> listed(unsigned long flags);

    std::unique_ptr<ServerCalls> calls_ = std::make_unique<ServerCalls>();
    std::future<Opening> opening_;
    std::shared_ptr<JackClient> client_;
    // Whether the opening not answered in time was reported already.
    bool silenceTold_ = false;
};

}  // namespace marovane
