// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortCodes.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marovane {

// Receives the messages of an open input connection. Called on the back
// end's own thread, so implementations must be thread-safe.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    virtual void received(const unsigned char* bytes, std::size_t size) = 0;
    // Messages were lost on their way: the MIDI system could not hold them
    // all until the back end read them.
    virtual void overflowed() = 0;
};

// Hears that the MIDI system changed in a way that may have cost an open
// connection its device, or the whole system. Called on the back end's own
// threads, so implementations only hand the news on to the UI thread, which
// then asks the connection's failure().
class ChangeSink {
public:
    virtual ~ChangeSink() = default;
    virtual void systemChanged() = 0;
};

// An open device. Destroying it closes the device; once the destructor has
// returned, its sinks are never called again.
class Connection {
public:
    virtual ~Connection() = default;
    // Why the connection no longer works, or nothing while it does. When one
    // cause (the system stopping) takes several connections, only the first
    // to ask gets its code; the others get code 0, so that it is told once.
    virtual std::optional<PortError> failure() { return std::nullopt; }
    // After failure() gave a cause: whether the connection still works on
    // what that cause left it (one over several MIDI systems goes on on those
    // still there), so that the port reports the cause and stays open.
    virtual bool goesOn() const { return false; }
};

class InputConnection : public Connection {};

// When a message is meant to sound; empty for as soon as possible.
using SendTime = std::optional<std::chrono::steady_clock::time_point>;

class OutputConnection : public Connection {
public:
    // Puts one complete message on the wire, at its due time where the back
    // end can place it, but never before a message sent earlier; an empty
    // result means it left.
    virtual PortError send(const std::vector<unsigned char>& bytes, SendTime due) = 0;
};

// A device of the MIDI system. `id` tells it apart from every other device
// there is now (under ALSA its client:port address, under JACK its full port
// name); `name` is what the user reads, and two devices may share it.
struct MidiDevice {
    std::string id;
    std::string name;
    bool operator==(const MidiDevice&) const = default;
};

template <class Kind>
struct Opened {
    std::unique_ptr<Kind> connection;  // null when the open failed
    PortError error;
};

// The MIDI system as the port components see it. The components number the
// devices in the order listed. The program's own ports are
// never listed, so that a thru cannot feed back into itself.
class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    // Whether the MIDI system can be used now, opening it when it is not
    // yet; a JACK server is waited for a little at most.
    virtual bool available() = 0;

    // Other clients' ports that can be read from (sources).
    virtual std::vector<MidiDevice> inputDevices() = 0;
    // Other clients' ports that can be written to (destinations).
    virtual std::vector<MidiDevice> outputDevices() = 0;
    // Display name of the program's own virtual output port.
    virtual std::string virtualOutputName() = 0;

    // `changes` hears of anything that may have made the connection fail. A
    // device listed earlier is opened only while the same device is there:
    // its id alone may have passed to another since.
    virtual Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) = 0;
    virtual Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) = 0;
    // A port of the program's own that other clients connect to.
    virtual Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) = 0;
    // The program's own input port alone: what other clients connect to it.
    virtual Opened<InputConnection> openVirtualInput(ReceiveSink& sink, ChangeSink& changes) = 0;
};

}  // namespace marovane
