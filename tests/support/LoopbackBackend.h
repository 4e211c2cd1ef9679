// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <mutex>
#include <string>
#include <vector>

namespace marovane {

// An in-memory MIDI system for tests: the test chooses the devices, plays
// messages into the open input and reads back what the outputs sent.
class LoopbackBackend : public MidiBackend {
public:
    // What one output connection put on the wire, with the device it went to
    // (empty for the virtual output).
    struct Sent {
        std::string device;
        std::vector<unsigned char> bytes;
        bool operator==(const Sent&) const = default;
    };

    // The devices by id; a device's name is its id up to any '@', so that
    // "Twin@1" and "Twin@2" are two devices named "Twin".
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    // When set, opens fail with this error (a device that vanished, say).
    PortError failOpen;
    // When set, sends fail with this error (a server that went away).
    PortError failSend;

    bool available() override { return true; }
    std::vector<MidiDevice> inputDevices() override { return devices(inputs); }
    std::vector<MidiDevice> outputDevices() override { return devices(outputs); }
    std::string virtualOutputName() override { return "Loopback virtual output"; }

    Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;
    // The open input's device is then empty.
    Opened<InputConnection> openVirtualInput(ReceiveSink& sink, ChangeSink& changes) override;

    // Delivers a message to the open input, as the back end's thread would.
    // Returns false when no input is open.
    bool receive(const std::vector<unsigned char>& bytes);
    // Tells the open input that messages were lost on their way.
    void overflow();
    // Makes the connections open now to `device` fail with `cause`, as a
    // device that went would, or all of them when `device` is empty, as a
    // stopped system would; then tells them, as the back end's thread would.
    // One cause is told once: the first connection to ask gets its code.
    void fail(const std::string& device, const PortError& cause);

    // The device of the open input, or empty.
    std::string openInputDevice() const;
    std::vector<Sent> sent() const;
    // The bytes sent, without devices, for the common one-output case.
    std::vector<std::vector<unsigned char>> sentBytes() const;
    // The due time each sent message was handed with, in the order sent.
    std::vector<SendTime> dueTimes() const;
    void clearSent();

private:
    class Link;
    class Input;
    class Output;
    struct Cause;

    static std::vector<MidiDevice> devices(const std::vector<std::string>& names);
    Opened<InputConnection> openInputOn(const std::string& device, ReceiveSink& sink, ChangeSink& changes);

    mutable std::mutex mutex_;
    Input* input_ = nullptr;
    std::vector<Link*> links_;
    std::vector<Sent> sent_;
    std::vector<SendTime> dueTimes_;
};

}  // namespace marovane
