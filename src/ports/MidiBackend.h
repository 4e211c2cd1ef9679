#pragma once

#include "PortCodes.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace marovane {

// Receives the messages of an open input connection. Called on the back
// end's own thread, so implementations must be thread-safe.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    virtual void received(const unsigned char* bytes, std::size_t size) = 0;
};

// An open input device. Destroying it closes the device; once the destructor
// has returned, the sink is never called again.
class InputConnection {
public:
    virtual ~InputConnection() = default;
};

// An open output device. Destroying it closes the device.
class OutputConnection {
public:
    virtual ~OutputConnection() = default;
    // Puts one complete message on the wire; an empty result means it left.
    virtual PortError send(const std::vector<unsigned char>& bytes) = 0;
};

template <class Connection>
struct Opened {
    std::unique_ptr<Connection> connection;  // null when the open failed
    PortError error;
};

// The MIDI system as the port components see it. Devices are named; the
// components number them in the order listed. The program's own ports are
// never listed, so that a thru cannot feed back into itself.
class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    // Other clients' ports that can be read from (sources).
    virtual std::vector<std::string> inputDevices() = 0;
    // Other clients' ports that can be written to (destinations).
    virtual std::vector<std::string> outputDevices() = 0;
    // Display name of the program's own virtual output port.
    virtual std::string virtualOutputName() = 0;

    virtual Opened<InputConnection> openInput(const std::string& device, ReceiveSink& sink) = 0;
    virtual Opened<OutputConnection> openOutput(const std::string& device) = 0;
    // A port of the program's own that other clients connect to.
    virtual Opened<OutputConnection> openVirtualOutput() = 0;
};

}  // namespace marovane
